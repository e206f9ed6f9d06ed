// Gives every entry of the bundle's executable folder the standard mode of an
// executable, since archives and downloads do not always keep modes.
#include "kilnsmith.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <vector>

namespace bundlekiln {
namespace {

std::vector<std::string> entryNames(const Folder& folder) {
    std::vector<std::string> names;
    DIR* listing = fdopendir(dup(folder.fd()));
    if (!listing) throwFileError("Could not list", folder.path(), errno);
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
    return names;
}

} // namespace

void Kilnsmith::repairPermissions(const Folder& app) const {
    if (!app.status("Contents/MacOS")) return;
    const Folder executables = app.folder("Contents/MacOS");
    for (const auto& name : entryNames(executables)) {
        struct stat status {};
        // A link could point anywhere outside the bundle, even at system files
        // when run as root; only the bundle's own entries are changed.
        if (fstatat(executables.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(status.st_mode))
            continue;
        if (fchmodat(executables.fd(), name.c_str(), 0755, 0) != 0)
            throwFileError("Could not set the mode of", executables.path() / name, errno);
    }
}

} // namespace bundlekiln
