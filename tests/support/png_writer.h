#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bundlekiln::testing {

/// Pixels per metre stored in a pHYs chunk.
struct Resolution {
    std::uint32_t x;
    std::uint32_t y;
};

/// A complete RGBA PNG of width x height with a colour gradient, written by
/// libpng, optionally with a pHYs chunk in pixels per metre.
std::string gradientPng(std::uint32_t width, std::uint32_t height,
                        std::optional<Resolution> resolution = std::nullopt);

/// The width and height that a PNG's IHDR chunk states.
std::pair<std::uint32_t, std::uint32_t> pngHeaderSize(const std::string& png);

} // namespace bundlekiln::testing
