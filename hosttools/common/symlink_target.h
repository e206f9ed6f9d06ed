#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// The text of the symbolic link `name` in the open folder `folder`, however
/// long. Throws ToolFailure naming `path` when it cannot be read.
std::string symlinkTarget(int folder, const char* name, const std::filesystem::path& path);

} // namespace hosttools
