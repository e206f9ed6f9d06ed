#pragma once

#include <filesystem>

#include "posix/unique_fd.h"

namespace hosttools {

/// Whether a folder of this name is a bundle: an app, a framework or an XPC
/// service, each of which carries a seal of its own.
bool hasBundleExtension(const std::filesystem::path& name);

/// Opens the folder that holds `target`, for writing into it. Its path up to
/// and including the outermost bundle on it (a folder with a bundle's
/// extension) is opened as named, links and all, as the caller chose it; each
/// folder below that is reached from there one name at a time without
/// following a link, and `..` is refused, so a link planted inside a bundle
/// never carries a write out of it. A folder with no bundle on its path is
/// opened as named. With `createMissing`, missing folders below the bundle
/// are created. Throws ToolFailure naming the link met on the way, or the
/// folder that cannot be opened.
posix::UniqueFd openTargetFolder(const std::filesystem::path& target, bool createMissing = false);

} // namespace hosttools
