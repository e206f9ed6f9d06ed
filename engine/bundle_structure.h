#pragma once

#include "folder.h"

namespace bundlekiln {

/// Throws BuilderError unless every fixed place of the runtime's app bundle
/// that the build reads or writes (Contents, its Info.plist, MacOS and the
/// executable, Resources, app.nw, app.icns, _CodeSignature) is, where present,
/// the real folder or file it should be: a symbolic link there could carry the
/// build's writes out of the bundle. What is missing is left to the steps that
/// need it.
void checkBundleStructure(const Folder& app);

} // namespace bundlekiln
