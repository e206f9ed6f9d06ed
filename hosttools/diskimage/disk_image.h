#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// Writes `image`, a compressed disk image (UDIF, UDZO) of an HFS Plus volume
/// named `volumeName` whose root holds the folder `source` under its own
/// name. The image appears only when complete and replaces an existing one.
/// Throws ToolFailure when `source` is missing or not a folder, when the
/// image would lie inside it, and when the volume cannot be read or written.
void createDiskImage(const std::string& volumeName, const std::filesystem::path& source,
                     const std::filesystem::path& image);

} // namespace hosttools
