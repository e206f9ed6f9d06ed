#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hosttools_test {

struct Rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

/// An image in memory: width * height pixels, row after row.
struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Rgba> pixels;
    Rgba at(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
};

/// How a test image is stored; every variant decodes to the same pixels.
struct PngLayout {
    bool grey16 = false;     // 16-bit grey with alpha instead of 8-bit RGBA
    bool interlaced = false; // Adam7
};

Picture paint(std::uint32_t width, std::uint32_t height,
              const std::function<Rgba(std::uint32_t, std::uint32_t)>& pixel);

/// The PNG encoding of `picture` (written by libpng, independently of the tools).
std::string encodeTestPng(const Picture& picture, PngLayout layout = {});

/// Decodes a PNG file to RGBA; throws std::runtime_error when libpng cannot.
Picture decodeTestPng(const std::filesystem::path& file);

/// A PNG signature and IHDR chunk (valid CRC) claiming width x height, and no data.
std::string headerOnlyPng(std::uint32_t width, std::uint32_t height);

} // namespace hosttools_test
