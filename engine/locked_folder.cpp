#include "locked_folder.h"

#include "interruption.h"
#include "uuid.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Locks the new folder, waiting out a sweep that may have taken it between
/// its creation and the lock; false when that sweep removed it.
bool lockIfStillThere(const Folder& parent, const std::string& name, const Folder& folder) {
    while (flock(folder.fd(), LOCK_EX) != 0) {
        if (errno != EINTR) posix::throwFileError("Could not lock", folder.path(), errno);
        throwIfInterrupted();
    }
    struct stat opened {
    }, named{};
    return fstat(folder.fd(), &opened) == 0 &&
           fstatat(parent.fd(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named);
}

/// The new folder, opened; none when another build's sweep removed it first.
std::optional<Folder> openNew(const Folder& parent, const std::string& name) {
    try {
        return parent.folder(name);
    } catch (const fs::filesystem_error& error) {
        if (error.code() == std::errc::no_such_file_or_directory) return std::nullopt;
        throw;
    }
}

// Until it is locked, another build's sweep may take the new folder for a
// leftover and remove it; then a new name is tried.
Folder createLocked(const Folder& parent, const std::string& prefix, const std::string& suffix,
                    std::string& name) {
    for (;;) {
        name = prefix + randomUUID() + suffix;
        // mkdirat refuses an existing folder, so nobody else's folder is ever taken over.
        if (mkdirat(parent.fd(), name.c_str(), 0700) != 0)
            posix::throwFileError("Could not create", parent.path() / name, errno);
        std::optional<Folder> folder = openNew(parent, name);
        if (folder && lockIfStillThere(parent, name, *folder)) return std::move(*folder);
    }
}

} // namespace

LockedFolder::LockedFolder(const Folder& parent, const std::string& prefix, const std::string& suffix)
    : parent_(parent), folder_(createLocked(parent, prefix, suffix, name_)) {}

LockedFolder::~LockedFolder() {
    parent_.removeTree(name_);
}

void sweepLeftovers(const Folder& parent, bool (*isLeftover)(std::string_view)) {
    std::vector<std::string> names;
    try {
        names = entryNames(parent.fd(), parent.path());
    } catch (const fs::filesystem_error&) {
        return;
    }
    for (const auto& name : names) {
        if (!isLeftover(name)) continue;
        struct stat status {};
        if (fstatat(parent.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid()) continue;
        const posix::UniqueFd fd(
            openat(parent.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        // Held while removing, so that no build can take the folder meanwhile.
        if (fd.valid() && flock(fd.get(), LOCK_EX | LOCK_NB) == 0) parent.removeTree(name);
    }
}

bool isUUID(std::string_view text) {
    if (text.size() != 36) return false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        const bool dash = index == 8 || index == 13 || index == 18 || index == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

} // namespace bundlekiln
