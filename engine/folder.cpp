#include "folder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <vector>

namespace bundlekiln {

namespace fs = std::filesystem;

posix::UniqueFd openBeneath(int folder, const std::string& name, int flags, const fs::path& path,
                            mode_t mode) {
    posix::UniqueFd fd(openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd.valid()) posix::throwFileError("Could not open", path, errno);
    return fd;
}

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
}

struct RemovalLevel {
    std::string name;
    dev_t device;
    ino_t inode;
    std::vector<std::string> pendingFolders;
};

/// Removes the files of the open folder and returns its sub-folders, which
/// are made writable by their owner so that their entries can go too.
std::vector<std::string> removeFilesIn(int fd, std::error_code& error) {
    std::vector<std::string> folders;
    std::vector<std::string> names;
    try {
        names = entryNames(fd, {});
    } catch (const fs::filesystem_error& failure) {
        if (!error) error = failure.code();
    }
    for (const auto& name : names) {
        struct stat status {};
        if (fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode))
            folders.push_back(name);
        else if (unlinkat(fd, name.c_str(), 0) != 0 && !error)
            error.assign(errno, std::generic_category());
    }
    return folders;
}

/// Enters `name` inside `parent`, never through a link; nullopt when it cannot.
std::optional<RemovalLevel> enter(int parent, const std::string& name, posix::UniqueFd& current,
                                  std::error_code& error) {
    posix::UniqueFd fd(openat(parent, name.c_str(), folderFlags | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd.valid() || fstat(fd.get(), &status) != 0) {
        if (!error) error.assign(errno, std::generic_category());
        return std::nullopt;
    }
    fchmod(fd.get(), (status.st_mode & 07777) | S_IRWXU);
    current = std::move(fd);
    return RemovalLevel{name, status.st_dev, status.st_ino, removeFilesIn(current.get(), error)};
}

/// The parent of the current level, reopened through "..", but only when it is
/// still the folder the walk came from (nothing can have been moved under us).
bool climb(std::vector<RemovalLevel>& levels, posix::UniqueFd& current, int top, std::error_code& error) {
    const RemovalLevel done = std::move(levels.back());
    levels.pop_back();
    posix::UniqueFd parent(levels.empty() ? dup(top) : openat(current.get(), "..", folderFlags | O_CLOEXEC));
    struct stat status {};
    const bool expected =
        parent.valid() && fstat(parent.get(), &status) == 0 &&
        (levels.empty() || (status.st_dev == levels.back().device && status.st_ino == levels.back().inode));
    if (!expected) {
        error = std::make_error_code(std::errc::operation_canceled);
        return false;
    }
    if (unlinkat(parent.get(), done.name.c_str(), AT_REMOVEDIR) != 0 && !error)
        error.assign(errno, std::generic_category());
    current = std::move(parent);
    return true;
}

} // namespace

std::vector<std::string> entryNames(int fd, const fs::path& path) {
    const int copy = dup(fd);
    DIR* listing = copy < 0 ? nullptr : fdopendir(copy);
    if (!listing) {
        const int error = errno;
        if (copy >= 0) close(copy);
        posix::throwFileError("Could not list", path, error);
    }
    // A duplicate shares its position with `fd`: start from the beginning.
    rewinddir(listing);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = readdir(listing))
        if (!isDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
    const int error = errno;
    closedir(listing);
    if (error != 0) posix::throwFileError("Could not list", path, error);
    return names;
}

Folder Folder::open(const fs::path& path) {
    posix::UniqueFd fd(::open(path.c_str(), folderFlags | O_CLOEXEC));
    if (!fd.valid()) posix::throwFileError("Could not open", path, errno);
    return Folder(std::move(fd), path);
}

Folder Folder::folder(const fs::path& relative) const {
    posix::UniqueFd current(dup(fd_.get()));
    fs::path reached = path_;
    for (const auto& component : relative) {
        if (component.empty() || component == ".") continue;
        reached /= component;
        if (component == "..") posix::throwFileError("Could not open", reached, EXDEV);
        current = openBeneath(current.get(), component.string(), folderFlags, reached);
    }
    return Folder(std::move(current), reached);
}

Folder Folder::makeFolder(const std::string& name, mode_t mode) const {
    if (mkdirat(fd_.get(), name.c_str(), mode) != 0 && errno != EEXIST)
        posix::throwFileError("Could not create", path_ / name, errno);
    return folder(name);
}

std::optional<struct stat> Folder::status(const fs::path& relative) const {
    try {
        const Folder parent = folder(relative.parent_path());
        struct stat status {};
        if (fstatat(parent.fd(), relative.filename().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            return status;
        if (errno == ENOENT) return std::nullopt;
        posix::throwFileError("Could not read", path_ / relative, errno);
    } catch (const fs::filesystem_error& error) {
        if (error.code() == std::errc::no_such_file_or_directory) return std::nullopt;
        throw;
    }
}

// Depth first with one open folder at a time: each level keeps only its name,
// identity and the sub-folders still to visit, and the walk climbs back
// through "..", checked against the identity it recorded on the way down.
std::error_code Folder::removeTree(const std::string& name) const {
    std::error_code error;
    struct stat status {};
    if (fstatat(fd_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno, std::generic_category()};
    if (!S_ISDIR(status.st_mode)) {
        if (unlinkat(fd_.get(), name.c_str(), 0) != 0) error.assign(errno, std::generic_category());
        return error;
    }
    posix::UniqueFd current;
    std::vector<RemovalLevel> levels;
    if (auto top = enter(fd_.get(), name, current, error)) levels.push_back(std::move(*top));
    while (!levels.empty()) {
        auto& pending = levels.back().pendingFolders;
        if (pending.empty()) {
            if (!climb(levels, current, fd_.get(), error)) break;
            continue;
        }
        const std::string next = std::move(pending.back());
        pending.pop_back();
        posix::UniqueFd parent = std::move(current);
        if (auto level = enter(parent.get(), next, current, error))
            levels.push_back(std::move(*level));
        else
            current = std::move(parent);
    }
    return error;
}

} // namespace bundlekiln
