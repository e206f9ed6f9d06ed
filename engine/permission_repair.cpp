// Gives every entry of the bundle's executable folder the standard mode of an
// executable, since archives and downloads do not always keep modes.
#include "kilnsmith.h"

#include <cerrno>
#include <fcntl.h>

namespace bundlekiln {

void Kilnsmith::repairPermissions(const Folder& app) const {
    if (!app.status("Contents/MacOS")) return;
    const Folder executables = app.folder("Contents/MacOS");
    for (const auto& name : entryNames(executables.fd(), executables.path())) {
        struct stat status {};
        // A link could point anywhere outside the bundle, even at system files
        // when run as root; only the bundle's own entries are changed.
        if (fstatat(executables.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISLNK(status.st_mode))
            continue;
        if (fchmodat(executables.fd(), name.c_str(), 0755, 0) != 0)
            posix::throwFileError("Could not set the mode of", executables.path() / name, errno);
    }
}

} // namespace bundlekiln
