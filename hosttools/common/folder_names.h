#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hosttools {

/// The names the open folder `folder` holds ("." and ".." left out), in byte
/// order. Only names are returned, not paths, so that a deep walk holding the
/// names of every folder it is in stays small. Throws ToolFailure naming
/// `path` when the folder cannot be listed.
std::vector<std::string> folderNames(int folder, const std::filesystem::path& path);

} // namespace hosttools
