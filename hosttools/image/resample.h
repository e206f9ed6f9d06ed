#pragma once

#include <cstdint>

#include "image/rgba_image.h"

namespace hosttools {

/// `image` scaled to width x height: area averaging along an axis that
/// shrinks, bilinear interpolation along one that grows. Colour is weighted
/// by alpha, so transparent pixels do not bleed their colour into edges.
RgbaImage resample(const RgbaImage& image, std::uint32_t width, std::uint32_t height);

} // namespace hosttools
