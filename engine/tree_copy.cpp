#include "tree_copy.h"

#include "interruption.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what, const fs::path& path, int error = errno) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

class Copier {
public:
    explicit Copier(const fs::path& skip) {
        struct stat status {};
        if (!skip.empty() && lstat(skip.c_str(), &status) == 0) skip_ = {status.st_dev, status.st_ino};
    }

    void copy(const fs::path& source, const fs::path& destination) {
        throwIfInterrupted();
        struct stat status {};
        if (lstat(source.c_str(), &status) != 0) fail("Could not read", source);
        if (S_ISDIR(status.st_mode)) return copyFolder(source, destination, status);
        if (S_ISLNK(status.st_mode)) return copyLink(source, destination);
        if (S_ISREG(status.st_mode)) return copyFile(source, destination, status);
        if (S_ISFIFO(status.st_mode)) return copyPipe(destination, status);
        fail("Cannot copy a socket or device file", source, ENOTSUP);
    }

private:
    void copyFolder(const fs::path& source, const fs::path& destination, const struct stat& status) {
        // Owner access first, so that the folder's entries can be written; the
        // real mode comes last.
        if (mkdir(destination.c_str(), 0700) != 0) fail("Could not create", destination);
        for (const auto& name : entryNames(source)) {
            const fs::path entry = source / name;
            if (isSkipped(entry)) continue;
            copy(entry, destination / name);
        }
        if (chmod(destination.c_str(), status.st_mode & 07777) != 0) fail("Could not set the mode of", destination);
        setTimes(destination, status, 0);
    }

    static std::vector<std::string> entryNames(const fs::path& folder) {
        DIR* directory = opendir(folder.c_str());
        if (!directory) fail("Could not list", folder);
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        const int error = errno;
        closedir(directory);
        if (error != 0) fail("Could not list", folder, error);
        return names;
    }

    bool isSkipped(const fs::path& entry) const {
        if (skip_.device == 0 && skip_.inode == 0) return false;
        struct stat status {};
        return lstat(entry.c_str(), &status) == 0 && Identity{status.st_dev, status.st_ino} == skip_;
    }

    static void copyLink(const fs::path& source, const fs::path& destination) {
        std::error_code error;
        const fs::path target = fs::read_symlink(source, error);
        if (error) fail("Could not read the link", source, error.value());
        if (symlink(target.c_str(), destination.c_str()) != 0) fail("Could not create the link", destination);
        struct stat status {};
        if (lstat(source.c_str(), &status) == 0) setTimes(destination, status, AT_SYMLINK_NOFOLLOW);
    }

    static void copyFile(const fs::path& source, const fs::path& destination, const struct stat& status) {
        const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) fail("Could not open", source);
        const int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            const int error = errno;
            close(in);
            fail("Could not create", destination, error);
        }
        const int error = copyContents(in, out);
        close(in);
        if (error == 0 && fchmod(out, status.st_mode & 07777) != 0) {
            close(out);
            fail("Could not set the mode of", destination);
        }
        if (close(out) != 0 && error == 0) fail("Could not write", destination);
        if (error != 0) fail("Could not copy to", destination, error);
        setTimes(destination, status, 0);
    }

    // Streams in bounded chunks so that a stop request is seen within one chunk.
    static int copyContents(int in, int out) {
        constexpr std::size_t chunk = 16 << 20;
        for (;;) {
            throwIfInterrupted();
            const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
            if (copied == 0) return 0;
            if (copied > 0) continue;
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
                return copyByReading(in, out);
            return errno;
        }
    }

    static int copyByReading(int in, int out) {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            throwIfInterrupted();
            const ssize_t count = read(in, buffer.data(), buffer.size());
            if (count == 0) return 0;
            if (count < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            for (ssize_t written = 0; written < count;) {
                const ssize_t step = write(out, buffer.data() + written, static_cast<std::size_t>(count - written));
                if (step < 0 && errno != EINTR) return errno;
                if (step > 0) written += step;
            }
        }
    }

    static void copyPipe(const fs::path& destination, const struct stat& status) {
        if (mkfifo(destination.c_str(), status.st_mode & 07777) != 0) fail("Could not create", destination);
        setTimes(destination, status, 0);
    }

    static void setTimes(const fs::path& destination, const struct stat& status, int flags) {
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (utimensat(AT_FDCWD, destination.c_str(), times, flags) != 0)
            fail("Could not set the times of", destination);
    }

    Identity skip_;
};

} // namespace

void copyTree(const fs::path& source, const fs::path& destination, const fs::path& skip) {
    Copier(skip).copy(source, destination);
}

} // namespace bundlekiln
