#pragma once

#include "posix/file_error.h"
#include "posix/unique_fd.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace bundlekiln {

/// An open folder, and everything beneath it reached from its descriptor one
/// component at a time without following a symbolic link, so that a link
/// planted anywhere below (by a hostile runtime, say) can never carry a read
/// or a write out of the folder. `..` is refused in relative paths.
///
/// Failures throw std::filesystem::filesystem_error naming the path; a link
/// where a folder or file was expected fails with ELOOP (the last component)
/// or ENOTDIR.
class Folder {
public:
    /// Opens the folder at `path`, following links in the path itself: only
    /// for folders that were resolved or created by the build.
    static Folder open(const std::filesystem::path& path);

    /// The folder at `relative` beneath this one.
    Folder folder(const std::filesystem::path& relative) const;

    /// Creates the folder `name` (an existing real folder is fine) and opens it.
    Folder makeFolder(const std::string& name, mode_t mode = 0755) const;

    /// The lstat() of `relative`, or none when it does not exist.
    std::optional<struct stat> status(const std::filesystem::path& relative) const;

    /// Removes `name` and, for a folder, everything below it, never following
    /// a link and with a bounded number of open descriptors however deep the
    /// tree. Returns the first error; what could be removed is gone.
    std::error_code removeTree(const std::string& name) const;

    int fd() const { return fd_.get(); }
    const std::filesystem::path& path() const { return path_; }

private:
    Folder(posix::UniqueFd fd, std::filesystem::path path) : fd_(std::move(fd)), path_(std::move(path)) {}

    posix::UniqueFd fd_;
    std::filesystem::path path_;
};

/// The names in the open folder `fd` (without "." and ".."), read from a
/// duplicate descriptor so that `fd` stays usable; throws naming `path`.
std::vector<std::string> entryNames(int fd, const std::filesystem::path& path);

/// Opens `name` in the folder `folder` with `flags` plus O_NOFOLLOW and
/// O_CLOEXEC; throws naming `path` on failure.
posix::UniqueFd openBeneath(int folder, const std::string& name, int flags, const std::filesystem::path& path,
                            mode_t mode = 0);

} // namespace bundlekiln
