#pragma once

#include <filesystem>
#include <vector>

#include "image/icns_file.h"

namespace hosttools {

/// The images of a ".iconset" folder as .icns members, in the order of the
/// standard sizes from 16 to 1024 pixels. Every PNG must carry a standard
/// name (icon_16x16.png … icon_512x512@2x.png) and exactly the pixel size
/// that name promises; other files are passed over. Throws ToolFailure for a
/// wrong name, size or image, and for a set without any image.
std::vector<IcnsMember> readIconSet(const std::filesystem::path& folder);

} // namespace hosttools
