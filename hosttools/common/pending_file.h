#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "posix/unique_fd.h"

namespace hosttools {

/// A file written under a short hidden temporary name (".pending-XXXXXX")
/// beside its final one and moved into place only when complete, so a failed
/// or interrupted run never leaves a truncated file under the real name (an
/// existing one is replaced only by commit, and a link there is replaced, not
/// written through). The temporary name does not grow with the target's, so
/// any name a file may have works. The folder is reached as
/// openTargetFolder does, never through a link inside a bundle. While one is
/// pending, SIGINT, SIGTERM and SIGHUP remove the temporary file before the
/// process dies of the signal.
class PendingFile {
public:
    /// `noun` names the file in messages, e.g. "the archive".
    PendingFile(const std::filesystem::path& target, std::string noun);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    int fd() const { return fd_.get(); }

    /// Gives the file the usual mode for a new file and moves it into place.
    void commit();

private:
    std::filesystem::path target_;
    std::string noun_;
    posix::UniqueFd folder_;
    std::string temporaryName_;
    posix::UniqueFd fd_;
};

/// Writes `contents` to `target` through a PendingFile, so the file appears
/// only when complete. Throws ToolFailure naming `target`.
void writeWholeFile(const std::filesystem::path& target, std::string_view contents, std::string noun);

} // namespace hosttools
