#pragma once

#include "common/tree_walk.h"

namespace hosttools {

/// Whether the symbolic link `link`, an entry below the root of a walk whose
/// root is a bundle, resolves to somewhere outside that bundle. The link is resolved as
/// the kernel would resolve it, name by name, following the links it meets
/// (at most 40 in all) and applying `..` to the folder the name before it
/// resolved to, but over the bundle's own entries only, with the walk's root
/// as the boundary: nothing outside the bundle is ever looked at. An absolute
/// target or a `..` above the root counts as leaving. Where a name does not
/// exist, or is not a folder, the rest of the target is taken as text, so a
/// dangling link whose text stays inside is fine; so is a loop, or any chain
/// of more than 40 links, which resolves nowhere. Throws ToolFailure naming
/// what cannot be read.
bool linkLeavesBundle(const TreeEntry& link);

} // namespace hosttools
