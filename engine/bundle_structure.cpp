#include "bundle_structure.h"

#include "builder_error.h"

#include <array>
#include <cerrno>
#include <fcntl.h>

namespace bundlekiln {
namespace {

struct FixedPlace {
    const char* path;
    bool folder;
};

// Parents come before their children, so each lookup below passes only
// through places already known to be real folders.
constexpr std::array<FixedPlace, 8> fixedPlaces{{
    {"Contents", true},
    {"Contents/Info.plist", false},
    {"Contents/MacOS", true},
    {"Contents/MacOS/nwjs", false},
    {"Contents/Resources", true},
    {"Contents/Resources/app.nw", true},
    {"Contents/Resources/app.icns", false},
    {"Contents/_CodeSignature", true},
}};

std::string refusal(const FixedPlace& place, const std::string& found) {
    return "The runtime's app bundle has " + found + " where " + place.path + " should be.";
}

} // namespace

void checkBundleStructure(const Folder& app) {
    for (const auto& place : fixedPlaces) {
        struct stat status {};
        if (fstatat(app.fd(), place.path, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) continue;
            posix::throwFileError("Could not read", app.path() / place.path, errno);
        }
        if (S_ISLNK(status.st_mode)) throw BuilderError(refusal(place, "a symbolic link"));
        if (place.folder && !S_ISDIR(status.st_mode))
            throw BuilderError(refusal(place, "something other than a folder"));
        if (!place.folder && !S_ISREG(status.st_mode))
            throw BuilderError(refusal(place, "something other than a file"));
    }
}

} // namespace bundlekiln
