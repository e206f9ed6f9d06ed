#include "info_plist.h"

#include "atomic_file.h"
#include "builder_error.h"
#include "property_list.h"

namespace bundlekiln {

void editInfoPlist(const std::filesystem::path& app, const std::function<void(plist_t dictionary)>& edit) {
    const std::filesystem::path path = app / "Contents/Info.plist";
    PropertyList list = readPropertyList(path);
    if (!list.isDictionary()) throw BuilderError("NW.js runtime has an invalid Info.plist.");
    edit(list.root());
    writeFileAtomically(path, xmlText(list));
}

} // namespace bundlekiln
