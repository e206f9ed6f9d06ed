#include "info_plist.h"

#include "atomic_file.h"
#include "builder_error.h"
#include "property_list.h"

namespace bundlekiln {

void editInfoPlist(const Folder& app, const std::function<void(plist_t dictionary)>& edit) {
    const Folder contents = app.folder("Contents");
    PropertyList list = readPropertyList(contents, "Info.plist");
    if (!list.isDictionary()) throw BuilderError("NW.js runtime has an invalid Info.plist.");
    edit(list.root());
    writeFileAtomically(contents, "Info.plist", xmlText(list));
}

} // namespace bundlekiln
