#include "common/immutable_flags.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "common/tool_failure.h"
#include "common/tree_walk.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

/// Errors meaning "this file system keeps no such flags".
bool flagsUnsupported(int error) {
    return error == ENOTTY || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

void clearImmutableFlag(const TreeEntry& entry) {
    // Symlinks cannot carry the flag, and opening a device could have side effects.
    if (!S_ISREG(entry.status.st_mode) && !S_ISDIR(entry.status.st_mode)) return;
    const std::filesystem::path& path = entry.path;
    posix::UniqueFd fd(::openat(entry.folder, entry.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) throwErrno("Could not open", path);
    int flags = 0;
    if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) {
        if (flagsUnsupported(errno)) return;
        throwErrno("Could not read the flags of", path);
    }
    if ((flags & FS_IMMUTABLE_FL) == 0) return;
    flags &= ~FS_IMMUTABLE_FL;
    if (::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) != 0)
        throwErrno("Could not clear the immutable flag of", path);
}

} // namespace

void clearImmutableFlags(const std::filesystem::path& top) {
    walkTree(top, clearImmutableFlag);
}

} // namespace hosttools
