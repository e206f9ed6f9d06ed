#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "posix/file_error.h"

namespace posix {

/// A folder only its owner can enter, made under $TMPDIR (else /tmp) as
/// PREFIX.XXXXXX and removed with everything in it when the object goes away.
/// Folders inside that were left without write or search permission (as an
/// unpacked archive may leave them) are opened up before the removal, so
/// that nothing stays behind for a user whom permissions bind.
class PrivateFolder {
public:
    /// Makes the folder; throws Failure "Could not create a temporary folder"
    /// (see throwFileError) when it cannot.
    template <typename Failure = std::filesystem::filesystem_error>
    static PrivateFolder create(const std::string& prefix) {
        PrivateFolder folder(prefix);
        if (folder.error_ != 0)
            throwFileError<Failure>("Could not create a temporary folder", folder.path_, folder.error_);
        return folder;
    }

    PrivateFolder(PrivateFolder&& other) noexcept
        : path_(std::exchange(other.path_, {})), error_(other.error_) {}
    PrivateFolder& operator=(PrivateFolder&&) = delete;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    explicit PrivateFolder(const std::string& prefix);

    std::filesystem::path path_;
    int error_ = 0;
};

} // namespace posix
