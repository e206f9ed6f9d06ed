#include "archive/tree_copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "common/folder_names.h"
#include "common/nesting_limit.h"
#include "common/path_containment.h"
#include "common/symlink_target.h"
#include "common/tool_failure.h"
#include "posix/file_contents_copy.h"
#include "posix/file_error.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

/// One side of a copy step: a name in an open folder (the top's is its whole
/// path, in the working folder via AT_FDCWD). Paths are built only for
/// messages, from the chain of parents, so a deep copy holds names only.
struct Location {
    int folder;
    std::string name;
    const Location* parent; // none at the top
    std::size_t depth;

    Location child(int childFolder, const std::string& childName) const {
        return {childFolder, childName, this, depth + 1};
    }
    fs::path path() const { return parent == nullptr ? fs::path(name) : parent->path() / name; }
    const Location& top() const { return parent == nullptr ? *this : parent->top(); }
    /// The path as a message names it: by the top when it is very long.
    fs::path shown() const { return shownPath(path(), top().name); }
};

void copyEntry(const Location& source, const struct stat& status, const Location& destination);

void applyTimes(const Location& destination, const struct stat& status) {
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::utimensat(destination.folder, destination.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throwErrno("Could not set the times of", destination.shown());
    }
}

/// Frees the destination name for a new non-folder entry. Refuses to replace
/// a folder (that would lose what is in it) or to copy a file onto itself.
void clearWayForEntry(const struct stat& sourceStatus, const Location& destination) {
    struct stat existing {};
    if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        throwErrno("Could not read", destination.shown());
    }
    if (existing.st_dev == sourceStatus.st_dev && existing.st_ino == sourceStatus.st_ino) {
        throw ToolFailure("Could not copy onto " + destination.shown().string() +
                          ": it is the source itself.");
    }
    if (S_ISDIR(existing.st_mode)) {
        throw ToolFailure("Could not replace the folder " + destination.shown().string() + " with a file.");
    }
    if (::unlinkat(destination.folder, destination.name.c_str(), 0) != 0) {
        throwErrno("Could not replace", destination.shown());
    }
}

void copyRegularFile(const Location& source, const struct stat& status, const Location& destination) {
    posix::UniqueFd in(::openat(source.folder, source.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid()) throwErrno("Could not open", source.shown());
    clearWayForEntry(status, destination);
    // Created private and given its mode only when complete, so nobody sees a
    // half-written file with the final permissions.
    posix::UniqueFd out(::openat(destination.folder, destination.name.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) throwErrno("Could not create", destination.shown());
    if (const int error = posix::copyFileContents(in.get(), out.get()))
        posix::throwFileError<ToolFailure>("Could not copy " + source.shown().string() + " to",
                                           destination.shown(), error);
    if (::fchmod(out.get(), status.st_mode & 07777) != 0)
        throwErrno("Could not set the mode of", destination.shown());
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::futimens(out.get(), times) != 0) throwErrno("Could not set the times of", destination.shown());
    if (out.close() != 0) throwErrno("Could not write", destination.shown());
}

void copySymlink(const Location& source, const struct stat& status, const Location& destination) {
    const auto target = symlinkTarget(source.folder, source.name.c_str(), source.shown());
    clearWayForEntry(status, destination);
    if (::symlinkat(target.c_str(), destination.folder, destination.name.c_str()) != 0) {
        throwErrno("Could not create the symlink", destination.shown());
    }
    applyTimes(destination, status);
}

/// Makes the destination folder, or keeps an existing one to merge into.
void prepareFolder(const Location& destination) {
    if (::mkdirat(destination.folder, destination.name.c_str(), 0700) == 0) return;
    if (errno != EEXIST) throwErrno("Could not create the folder", destination.shown());
    struct stat existing {};
    if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        throwErrno("Could not read", destination.shown());
    }
    if (S_ISDIR(existing.st_mode)) return;
    // A file or symlink where a folder belongs is replaced; a symlink must never
    // be followed, or the copy would land wherever it points.
    if (::unlinkat(destination.folder, destination.name.c_str(), 0) != 0 ||
        ::mkdirat(destination.folder, destination.name.c_str(), 0700) != 0) {
        throwErrno("Could not replace with a folder", destination.shown());
    }
}

posix::UniqueFd openFolder(const Location& location) {
    posix::UniqueFd folder(
        ::openat(location.folder, location.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) throwErrno("Could not open the folder", location.shown());
    return folder;
}

// The names are read before going deeper, so each level holds two folders
// open, the source's and the destination's, and no listing.
void copyChildren(int sourceFolder, const Location& source, int destinationFolder,
                  const Location& destination) {
    for (const std::string& name : folderNames(sourceFolder, source.shown())) {
        struct stat status {};
        const auto child = source.child(sourceFolder, name);
        if (::fstatat(sourceFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            throwErrno("Could not read", child.shown());
        copyEntry(child, status, destination.child(destinationFolder, name));
    }
}

void copyFolder(const Location& source, const struct stat& status, const Location& destination) {
    if (source.depth > kMaximumNesting) throwTooDeep("folder", source.top().name);
    const posix::UniqueFd sourceFolder = openFolder(source);
    prepareFolder(destination);
    const posix::UniqueFd destinationFolder = openFolder(destination);
    copyChildren(sourceFolder.get(), source, destinationFolder.get(), destination);
    // Mode and times last: the folder is written into above, and a read-only
    // mode would forbid that while filling in a new entry bumps its mtime.
    if (::fchmod(destinationFolder.get(), status.st_mode & 07777) != 0) {
        throwErrno("Could not set the mode of", destination.shown());
    }
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::futimens(destinationFolder.get(), times) != 0)
        throwErrno("Could not set the times of", destination.shown());
}

void copyEntry(const Location& source, const struct stat& status, const Location& destination) {
    if (S_ISDIR(status.st_mode)) return copyFolder(source, status, destination);
    if (S_ISREG(status.st_mode)) return copyRegularFile(source, status, destination);
    if (S_ISLNK(status.st_mode)) return copySymlink(source, status, destination);
    throw ToolFailure("Could not copy " + source.shown().string() + ": it is a device, socket or FIFO.");
}

fs::path withoutTrailingSeparator(fs::path path) {
    return path.has_filename() || !path.has_parent_path() ? path : path.parent_path();
}

void createParents(const fs::path& path) {
    std::error_code error;
    if (!path.empty()) fs::create_directories(path, error);
    if (error)
        throw ToolFailure("Could not create the folder " + path.string() + ": " + error.message() + ".");
}

} // namespace

void copyTree(const fs::path& source, const fs::path& destinationArgument) {
    struct stat status {};
    if (::lstat(source.c_str(), &status) != 0) throwErrno("Could not read", source);
    if (S_ISDIR(status.st_mode) && isSameOrInside(destinationArgument, source)) {
        throw ToolFailure("Could not copy " + source.string() + " into " + destinationArgument.string() +
                          ": the destination lies inside the source.");
    }
    auto destination = withoutTrailingSeparator(destinationArgument);
    std::error_code error;
    if (fs::is_directory(destination, error)) {
        // A symlink the user named as the destination folder is honoured; below
        // it nothing is followed.
        destination = fs::canonical(destination, error);
        if (!S_ISDIR(status.st_mode)) destination /= withoutTrailingSeparator(source).filename();
    }
    createParents(destination.parent_path());
    copyEntry({AT_FDCWD, source.string(), nullptr, 0}, status, {AT_FDCWD, destination.string(), nullptr, 0});
}

} // namespace hosttools
