#include "no_clobber_move.h"

#include "locked_folder.h"
#include "tree_copy.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

enum class Rename { done, exists, otherFileSystem, unsupported };

constexpr std::string_view partialMarker = ".partial-";

Rename renameWithoutReplacing(int fromFolder, const fs::path& from, int toFolder, const fs::path& to) {
    if (renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) return Rename::done;
    switch (errno) {
    case EEXIST:
        return Rename::exists;
    case EXDEV:
        return Rename::otherFileSystem;
    case EINVAL:
    case ENOSYS:
        return Rename::unsupported;
    default:
        throw fs::filesystem_error("Could not move", from, to,
                                   std::error_code(errno, std::generic_category()));
    }
}

// A rename within one file system: the no-replace rename, or, where the file
// system lacks it, a check before the plain rename, the best it allows.
bool renameInPlace(int fromFolder, const fs::path& from, int toFolder, const fs::path& to) {
    switch (renameWithoutReplacing(fromFolder, from, toFolder, to)) {
    case Rename::done:
        return true;
    case Rename::exists:
        return false;
    case Rename::otherFileSystem:
    case Rename::unsupported:
        break;
    }
    struct stat status {};
    if (fstatat(toFolder, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return false;
    if (renameat(fromFolder, from.c_str(), toFolder, to.c_str()) != 0)
        posix::throwFileError("Could not move", from, errno);
    return true;
}

// The copy is made inside a locked hidden folder beside `to` (its name does
// not grow with `to`'s), then renamed out of it into place.
bool copyIntoPlace(const fs::path& from, const fs::path& to) {
    const Folder output = Folder::open(to.parent_path());
    sweepLeftovers(output, isPartialMoveName);
    const LockedFolder partial(output, ".bundlekiln" + std::string(partialMarker));
    const Folder source = Folder::open(from.parent_path());
    const TreeLimit limit{1024, "The app"};
    const std::string name = to.filename().string();
    copyTree(from, partial.path() / name, {}, limit);
    if (!renameInPlace(partial.folder().fd(), name, output.fd(), name)) return false;
    source.removeTree(from.filename().string());
    return true;
}

} // namespace

bool moveWithoutReplacing(const fs::path& from, const fs::path& to) {
    switch (renameWithoutReplacing(AT_FDCWD, from, AT_FDCWD, to)) {
    case Rename::done:
        return true;
    case Rename::exists:
        return false;
    case Rename::otherFileSystem:
        return copyIntoPlace(from, to);
    case Rename::unsupported:
        return renameInPlace(AT_FDCWD, from, AT_FDCWD, to);
    }
    return false;
}

bool isPartialMoveName(std::string_view name) {
    const auto marker = name.rfind(partialMarker);
    return name.starts_with(".") && marker != std::string_view::npos && marker > 0 &&
           isUUID(name.substr(marker + partialMarker.size()));
}

} // namespace bundlekiln
