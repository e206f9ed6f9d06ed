#include "tree_copy.h"

#include "builder_error.h"
#include "interruption.h"
#include "posix/file_contents_copy.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

/// One side of the copy at the current level: the open folder and its path,
/// kept only for messages.
struct Place {
    int fd;
    const fs::path& path;
};

void setTimes(int folder, const std::string& name, const struct stat& status, int flags,
              const fs::path& path) {
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (utimensat(folder, name.c_str(), times, flags) != 0)
        posix::throwFileError("Could not set the times of", path, errno);
}

class Copier {
public:
    Copier(const fs::path& skip, const TreeLimit& limit) : limit_(limit) {
        struct stat status {};
        if (!skip.empty() && lstat(skip.c_str(), &status) == 0) skip_ = {status.st_dev, status.st_ino};
    }

    /// Copies the entry `name` of `from` as `copyName` in `to`.
    void copyEntry(Place from, const std::string& name, Place to, const std::string& copyName,
                   std::size_t depth) {
        throwIfInterrupted();
        const fs::path source = from.path / name;
        const fs::path destination = to.path / copyName;
        if (destination.native().size() >= PATH_MAX)
            posix::throwFileError("Could not create", destination, ENAMETOOLONG);
        struct stat status {};
        if (fstatat(from.fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            posix::throwFileError("Could not read", source, errno);
        if (S_ISDIR(status.st_mode)) {
            if (isSkipped(status)) return;
            const posix::UniqueFd folder = openBeneath(from.fd, name, O_RDONLY | O_DIRECTORY, source);
            return copyFolder({folder.get(), source}, to, copyName, depth + 1);
        }
        if (S_ISLNK(status.st_mode)) return copyLink(from, name, to, copyName, status);
        if (S_ISREG(status.st_mode)) return copyFile(from, name, to, copyName);
        if (S_ISFIFO(status.st_mode)) return copyPipe(to, copyName, status);
        posix::throwFileError("Cannot copy a socket or device file", source, ENOTSUP);
    }

    // Owner access first, so that the folder's entries can be written; the
    // real mode and times come last.
    void copyFolder(Place from, Place to, const std::string& name, std::size_t depth) {
        if (depth > limit_.depth)
            throw BuilderError(limit_.noun + " nests folders more than " + std::to_string(limit_.depth) +
                               " levels deep.");
        const fs::path destination = to.path / name;
        if (mkdirat(to.fd, name.c_str(), 0700) != 0)
            posix::throwFileError("Could not create", destination, errno);
        const posix::UniqueFd copy = openBeneath(to.fd, name, O_RDONLY | O_DIRECTORY, destination);
        for (const auto& entry : entryNames(from.fd, from.path))
            copyEntry(from, entry, {copy.get(), destination}, entry, depth);
        struct stat status {};
        if (fstat(from.fd, &status) != 0) posix::throwFileError("Could not read", from.path, errno);
        if (fchmod(copy.get(), status.st_mode & 07777) != 0)
            posix::throwFileError("Could not set the mode of", destination, errno);
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (futimens(copy.get(), times) != 0)
            posix::throwFileError("Could not set the times of", destination, errno);
    }

private:
    bool isSkipped(const struct stat& status) const {
        return !(skip_ == Identity{}) && Identity{status.st_dev, status.st_ino} == skip_;
    }

    static void copyLink(Place from, const std::string& name, Place to, const std::string& copyName,
                         const struct stat& status) {
        std::string target(static_cast<std::size_t>(status.st_size) + 1, '\0');
        const ssize_t length = readlinkat(from.fd, name.c_str(), target.data(), target.size());
        if (length < 0) posix::throwFileError("Could not read the link", from.path / name, errno);
        target.resize(static_cast<std::size_t>(length));
        if (symlinkat(target.c_str(), to.fd, copyName.c_str()) != 0)
            posix::throwFileError("Could not create the link", to.path / copyName, errno);
        setTimes(to.fd, copyName, status, AT_SYMLINK_NOFOLLOW, to.path / copyName);
    }

    static void copyFile(Place from, const std::string& name, Place to, const std::string& copyName) {
        const fs::path destination = to.path / copyName;
        // Without blocking: the entry may have become a pipe since it was listed.
        const posix::UniqueFd in = openBeneath(from.fd, name, O_RDONLY | O_NONBLOCK, from.path / name);
        struct stat status {};
        if (fstat(in.get(), &status) != 0 || !S_ISREG(status.st_mode))
            posix::throwFileError("Could not copy", from.path / name, ENOTSUP);
        posix::UniqueFd out = openBeneath(to.fd, copyName, O_WRONLY | O_CREAT | O_EXCL, destination, 0600);
        if (const int error = posix::copyFileContents(in.get(), out.get(), throwIfInterrupted))
            posix::throwFileError("Could not copy to", destination, error);
        if (fchmod(out.get(), status.st_mode & 07777) != 0)
            posix::throwFileError("Could not set the mode of", destination, errno);
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (futimens(out.get(), times) != 0)
            posix::throwFileError("Could not set the times of", destination, errno);
        if (out.close() != 0) posix::throwFileError("Could not write", destination, errno);
    }

    static void copyPipe(Place to, const std::string& name, const struct stat& status) {
        if (mkfifoat(to.fd, name.c_str(), status.st_mode & 07777) != 0)
            posix::throwFileError("Could not create", to.path / name, errno);
        setTimes(to.fd, name, status, AT_SYMLINK_NOFOLLOW, to.path / name);
    }

    TreeLimit limit_;
    Identity skip_;
};

} // namespace

void copyTree(const Folder& source, const Folder& destination, const std::string& name, const fs::path& skip,
              const TreeLimit& limit) {
    Copier(skip, limit)
        .copyFolder({source.fd(), source.path()}, {destination.fd(), destination.path()}, name, 0);
}

void copyTree(const fs::path& source, const fs::path& destination, const fs::path& skip,
              const TreeLimit& limit) {
    const Folder from = Folder::open(source.parent_path());
    const Folder to = Folder::open(destination.parent_path());
    Copier(skip, limit)
        .copyEntry({from.fd(), from.path()}, source.filename().string(), {to.fd(), to.path()},
                   destination.filename().string(), 0);
}

} // namespace bundlekiln
