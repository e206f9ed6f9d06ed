#pragma once

#include <filesystem>

namespace hosttools {

/// Clears Linux's immutable flag, the nearest thing it has to the
/// user-immutable flag, on every file and folder of the tree at `top`, links
/// not followed. A file system that keeps no such flags is passed over.
/// Throws ToolFailure naming what cannot be opened, read or changed.
void clearImmutableFlags(const std::filesystem::path& top);

} // namespace hosttools
