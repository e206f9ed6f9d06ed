#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <stdexcept>
#include <vector>

namespace bundlekiln::testing {
namespace {

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void noFlush(png_structp) {}

std::uint32_t bigEndianAt(const std::string& data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(data.at(at + i));
    return value;
}

} // namespace

std::string gradientPng(std::uint32_t width, std::uint32_t height, std::optional<Resolution> resolution) {
    std::vector<png_byte> pixels;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            pixels.insert(pixels.end(), {png_byte(x * 255 / width), png_byte(y * 255 / height), 200, 255});
    std::vector<png_bytep> rows;
    for (std::uint32_t y = 0; y < height; ++y) rows.push_back(pixels.data() + std::size_t{y} * width * 4);
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the test image");
    }
    png_set_write_fn(png, &out, append, noFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (resolution) png_set_pHYs(png, info, resolution->x, resolution->y, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::pair<std::uint32_t, std::uint32_t> pngHeaderSize(const std::string& png) {
    return {bigEndianAt(png, 16), bigEndianAt(png, 20)};
}

} // namespace bundlekiln::testing
