#include "regular_file.h"

#include "builder_error.h"
#include "posix/file_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace bundlekiln {

namespace fs = std::filesystem;

posix::UniqueFd openRegularFile(int folder, const fs::path& name, const std::string& noun,
                                const fs::path& path) {
    posix::UniqueFd fd(
        openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    // A link is refused rather than followed: it may lead out of the folder being read.
    if (!fd.valid() && errno == ELOOP) throw BuilderError(noun + " is not a regular file.");
    if (!fd.valid()) posix::throwFileError("Could not read", path, errno);
    struct stat status {};
    if (fstat(fd.get(), &status) != 0) posix::throwFileError("Could not read", path, errno);
    if (S_ISDIR(status.st_mode)) posix::throwFileError("Could not read", path, EISDIR);
    if (!S_ISREG(status.st_mode)) throw BuilderError(noun + " is not a regular file.");
    // Reads of a regular file never wait on a writer; clear the flag for plain reads.
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string readAll(int fd, const fs::path& path) {
    std::string contents;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0) return contents;
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) posix::throwFileError("Could not read", path, errno);
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string readRegularFile(int folder, const fs::path& name, const std::string& noun, const fs::path& path) {
    const posix::UniqueFd fd = openRegularFile(folder, name, noun, path);
    return readAll(fd.get(), path);
}

std::string readRegularFile(const fs::path& path, const std::string& noun) {
    return readRegularFile(AT_FDCWD, path, noun, path);
}

} // namespace bundlekiln
