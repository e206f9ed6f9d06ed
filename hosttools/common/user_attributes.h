#pragma once

#include <filesystem>

namespace hosttools {

/// Removes the extended attributes of the user namespace, the only ones a
/// non-root user can set, from every file and folder of the tree at `top`,
/// links not followed; security and trusted attributes belong to the system
/// and stay. A file system without extended attributes is passed over.
/// Throws ToolFailure naming what cannot be opened, listed or changed.
void removeUserAttributes(const std::filesystem::path& top);

} // namespace hosttools
