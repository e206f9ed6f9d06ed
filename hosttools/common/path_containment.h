#pragma once

#include <filesystem>

namespace hosttools {

/// True when `candidate` is `folder` or lies below it, once both are resolved
/// through symlinks and `..` (candidate need not exist yet). Used to refuse a
/// copy or archive that would feed on its own output.
bool isSameOrInside(const std::filesystem::path& candidate, const std::filesystem::path& folder);

} // namespace hosttools
