#pragma once

#include <filesystem>
#include <string>

#include "image/rgba_image.h"

namespace hosttools {

/// Neither side may exceed this many pixels: it keeps a hostile header from
/// asking for gigabytes before any pixel data has been seen.
inline constexpr std::uint32_t kMaximumImageSide = 16384;

/// Decodes any PNG libpng reads (grey, palette, 16-bit, interlaced, with or
/// without transparency) into RGBA. Throws ToolFailure naming `path` and
/// libpng's reason for anything that is not a complete, sound PNG.
RgbaImage readPng(const std::filesystem::path& path);

/// The PNG encoding of `image` (RGBA, 8 bits per channel).
std::string encodePng(const RgbaImage& image);

} // namespace hosttools
