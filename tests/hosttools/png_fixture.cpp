#include "png_fixture.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

namespace hosttools_test {
namespace {

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void noFlush(png_structp) {}

std::string bigEndian(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

/// The bytes of one row in the layout's sample format.
std::vector<png_byte> rowBytes(const Picture& picture, std::uint32_t y, PngLayout layout) {
    std::vector<png_byte> row;
    for (std::uint32_t x = 0; x < picture.width; ++x) {
        const Rgba p = picture.at(x, y);
        if (layout.grey16) {
            for (std::uint8_t sample : {p.r, p.a}) {
                row.push_back(sample);
                row.push_back(sample);
            }
        } else {
            row.insert(row.end(), {p.r, p.g, p.b, p.a});
        }
    }
    return row;
}

} // namespace

Picture paint(std::uint32_t width, std::uint32_t height,
              const std::function<Rgba(std::uint32_t, std::uint32_t)>& pixel) {
    Picture picture{width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) picture.pixels.push_back(pixel(x, y));
    return picture;
}

std::string encodeTestPng(const Picture& picture, PngLayout layout) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<png_byte>> rows;
    for (std::uint32_t y = 0; y < picture.height; ++y) rows.push_back(rowBytes(picture, y, layout));
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the test image");
    }
    png_set_write_fn(png, &out, append, noFlush);
    png_set_IHDR(png, info, picture.width, picture.height, layout.grey16 ? 16 : 8,
                 layout.grey16 ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGBA,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Picture decodeTestPng(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) throw std::runtime_error(image.message);
    image.format = PNG_FORMAT_RGBA;
    Picture picture{image.width, image.height, std::vector<Rgba>(std::size_t{image.width} * image.height)};
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
        throw std::runtime_error(image.message);
    }
    return picture;
}

std::string headerOnlyPng(std::uint32_t width, std::uint32_t height) {
    const std::string body =
        "IHDR" + bigEndian(width) + bigEndian(height) + std::string("\x08\x06\x00\x00\x00", 5);
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + body +
           bigEndian(static_cast<std::uint32_t>(crc));
}

} // namespace hosttools_test
