#include "image/png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

/// libpng reports faults by longjmp; the reason is kept here for the message.
struct ErrorSink {
    std::string reason;
    static void record(png_structp png, png_const_charp message) {
        static_cast<ErrorSink*>(png_get_error_ptr(png))->reason = message;
        png_longjmp(png, 1);
    }
    static void ignore(png_structp, png_const_charp) {}
};

void requestRgba(png_structp png, png_infop info) {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if (!(png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

/// Everything between setjmp and the return lives in `image` or libpng, so
/// the jump skips no destructor.
bool decodeInto(png_structp png, png_infop info, std::FILE* file, RgbaImage& image,
                std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaximumImageSide, kMaximumImageSide);
    png_init_io(png, file);
    png_read_info(png, info);
    requestRgba(png, info);
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    image.pixels.resize(std::size_t{image.width} * image.height * 4);
    rows.resize(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y)
        rows[y] = image.pixels.data() + std::size_t{y} * image.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

} // namespace

RgbaImage readPng(const fs::path& path) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throwErrno("Could not open", path);
    png_byte signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        throw ToolFailure("The file " + path.string() + " is not a PNG image.");
    std::rewind(file.get());
    ErrorSink sink;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, ErrorSink::record, ErrorSink::ignore);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    RgbaImage image;
    std::vector<png_bytep> rows;
    const bool decoded = info && decodeInto(png, info, file.get(), image, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded)
        throw ToolFailure("The PNG image " + path.string() + " cannot be read: " + sink.reason + ".");
    return image;
}

std::string encodePng(const RgbaImage& image) {
    std::string encoded;
    ErrorSink sink;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, ErrorSink::record, ErrorSink::ignore);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y)
        rows[y] = const_cast<png_bytep>(image.pixels.data()) + std::size_t{y} * image.width * 4;
    volatile bool written = false; // read after a longjmp out of libpng
    if (info && !setjmp(png_jmpbuf(png))) {
        png_set_write_fn(png, &encoded, appendBytes, flushNothing);
        png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    if (!written) throw ToolFailure("Could not encode the PNG image: " + sink.reason + ".");
    return encoded;
}

} // namespace hosttools
