// Stand-in for /usr/bin/chflags: only `chflags -R nouchg PATH`. Linux's
// immutable flag is the nearest thing it has to the user-immutable flag.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "tool_failure.h"
#include "tree_walk.h"
#include "unique_fd.h"
#include "usage.h"

namespace {

/// Errors meaning "this file system keeps no such flags".
bool flagsUnsupported(int error) {
    return error == ENOTTY || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

void clearImmutableFlag(const hosttools::TreeEntry& entry) {
    // Symlinks cannot carry the flag, and opening a device could have side effects.
    if (!S_ISREG(entry.status.st_mode) && !S_ISDIR(entry.status.st_mode)) return;
    const std::filesystem::path& path = entry.path;
    hosttools::UniqueFd fd(
        ::openat(entry.folder, entry.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) hosttools::throwErrno("Could not open", path);
    int flags = 0;
    if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) {
        if (flagsUnsupported(errno)) return;
        hosttools::throwErrno("Could not read the flags of", path);
    }
    if ((flags & FS_IMMUTABLE_FL) == 0) return;
    flags &= ~FS_IMMUTABLE_FL;
    if (::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) != 0)
        hosttools::throwErrno("Could not clear the immutable flag of", path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "-R") != 0 || std::strcmp(argv[2], "nouchg") != 0) {
        hosttools::exitWithUsage("chflags -R nouchg PATH");
    }
    return hosttools::runTool("chflags", [&] {
        hosttools::walkTree(argv[3], clearImmutableFlag);
        return 0;
    });
}
