#include "no_clobber_move.h"

#include "tree_copy.h"
#include "uuid.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

enum class Rename { done, exists, otherFileSystem, unsupported };

Rename renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Rename::done;
    switch (errno) {
    case EEXIST: return Rename::exists;
    case EXDEV: return Rename::otherFileSystem;
    case EINVAL:
    case ENOSYS: return Rename::unsupported;
    default:
        throw fs::filesystem_error("Could not move", from, to, std::error_code(errno, std::generic_category()));
    }
}

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// A rename within one folder: the no-replace rename, or, where the file system
// lacks it, a check before the plain rename, the best such a file system allows.
bool renameInPlace(const fs::path& from, const fs::path& to) {
    switch (renameWithoutReplacing(from, to)) {
    case Rename::done: return true;
    case Rename::exists: return false;
    case Rename::otherFileSystem:
    case Rename::unsupported: break;
    }
    if (fs::exists(fs::symlink_status(to))) return false;
    fs::rename(from, to);
    return true;
}

bool copyIntoPlace(const fs::path& from, const fs::path& to) {
    const fs::path partial = to.parent_path() / ("." + to.filename().string() + ".partial-" + randomUUID());
    try {
        copyTree(from, partial);
        if (!renameInPlace(partial, to)) {
            removeQuietly(partial);
            return false;
        }
    } catch (...) {
        removeQuietly(partial);
        throw;
    }
    removeQuietly(from);
    return true;
}

} // namespace

bool moveWithoutReplacing(const fs::path& from, const fs::path& to) {
    switch (renameWithoutReplacing(from, to)) {
    case Rename::done: return true;
    case Rename::exists: return false;
    case Rename::otherFileSystem: return copyIntoPlace(from, to);
    case Rename::unsupported: return renameInPlace(from, to);
    }
    return false;
}

} // namespace bundlekiln
