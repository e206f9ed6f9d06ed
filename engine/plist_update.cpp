// Gives the staged bundle the user's identity. Values were validated before,
// so they are written as entered; every other entry keeps its type and value.
#include "info_plist.h"
#include "kilnsmith.h"

namespace bundlekiln {

void Kilnsmith::updatePlist(const Folder& app, const BuildOptions& options) const {
    editInfoPlist(app, [&](plist_t info) {
        const auto setString = [info](const char* key, const std::string& value) {
            plist_dict_set_item(info, key, plist_new_string(value.c_str()));
        };
        setString("CFBundleName", options.name());
        setString("CFBundleDisplayName", options.name());
        setString("CFBundleIdentifier", options.bundleID());
        setString("CFBundleShortVersionString", options.version());
        setString("CFBundleVersion", options.version());
        plist_dict_set_item(info, "NSHighResolutionCapable", plist_new_bool(1));
    });
}

} // namespace bundlekiln
