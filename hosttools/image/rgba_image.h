#pragma once

#include <cstdint>
#include <vector>

namespace hosttools {

/// Eight-bit RGBA pixels, row after row, not premultiplied.
struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 4 bytes
};

} // namespace hosttools
