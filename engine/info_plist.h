#pragma once

#include "folder.h"

#include <plist/plist.h>

#include <filesystem>
#include <functional>

namespace bundlekiln {

/// Reads the bundle's Contents/Info.plist (reached without following links) (XML, binary or text format),
/// lets `edit` change its top-level dictionary, and writes it back atomically as XML. Throws BuilderError
/// when the top level is not a dictionary; read, parse and write errors pass through, and the file is then
/// left as it was.
void editInfoPlist(const Folder& app, const std::function<void(plist_t dictionary)>& edit);

} // namespace bundlekiln
