// Gives every entry of the bundle's executable folder the standard mode of an
// executable, since archives and downloads do not always keep modes.
#include "kilnsmith.h"

namespace bundlekiln {

namespace fs = std::filesystem;

void Kilnsmith::repairPermissions(const fs::path& app) const {
    std::error_code error;
    fs::directory_iterator entries(app / "Contents/MacOS", error);
    if (error) return;
    for (const auto& entry : entries) {
        // A link could point anywhere outside the bundle, even at system files
        // when run as root; only the bundle's own entries are changed.
        if (entry.is_symlink()) continue;
        fs::permissions(entry.path(), static_cast<fs::perms>(0755), fs::perm_options::replace);
    }
}

} // namespace bundlekiln
