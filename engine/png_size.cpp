#include "png_size.h"

#include "builder_error.h"
#include "regular_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace bundlekiln {
namespace {

constexpr double pointsPerInch = 72.0;
constexpr double metresPerInch = 0.0254;

// The image tools refuse larger sides, and only after decoding the whole image.
constexpr png_uint_32 longestIconSide = 16384;

/// Owns libpng's reading structures.
class PngReader {
public:
    PngReader() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, silently);
        if (png_) info_ = png_create_info_struct(png_);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }

    bool ready() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    // The caller's answer is "not a loadable image"; libpng's text would only
    // clutter the build's output.
    static void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void silently(png_structp, png_const_charp) {}

    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

/// libpng's source: exactly `length` bytes from the descriptor it was given.
void readFromDescriptor(png_structp png, png_bytep data, png_size_t length) {
    const int fd = *static_cast<const int*>(png_get_io_ptr(png));
    while (length > 0) {
        const ssize_t count = ::read(fd, data, length);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) png_error(png, "read");
        data += count;
        length -= static_cast<png_size_t>(count);
    }
}

double pointsFor(png_uint_32 pixels, png_uint_32 pixelsPerMetre, bool hasResolution) {
    if (!hasResolution || pixelsPerMetre == 0) return pixels;
    return pixels * pointsPerInch / (pixelsPerMetre * metresPerInch);
}

// libpng reports any fault by jumping back to the setjmp of the function
// that called it, so nothing with a destructor may be created between a
// setjmp and the end of its function.

/// Reads the chunks before the image data.
bool readHeader(PngReader& reader, int& fd) {
    png_structp png = reader.png();
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &fd, readFromDescriptor);
    png_read_info(png, reader.info());
    return true;
}

/// Decodes every row, one row's memory at a time.
bool decodeRows(PngReader& reader, std::vector<png_byte>& row) {
    png_structp png = reader.png();
    png_infop info = reader.info();
    if (setjmp(png_jmpbuf(png))) return false;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    const png_uint_32 height = png_get_image_height(png, info);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
    return true;
}

// libpng keeps the sides from the first chunk even when a later one fails,
// so an image too large is named as such whatever follows its header.
void refuseOversizedSides(const PngReader& reader) {
    if (png_get_image_width(reader.png(), reader.info()) > longestIconSide ||
        png_get_image_height(reader.png(), reader.info()) > longestIconSide)
        throw BuilderError("The icon is too large: its sides may be at most " +
                           std::to_string(longestIconSide) + " pixels.");
}

ReportedSize reportedSize(const PngReader& reader) {
    png_uint_32 xResolution = 0, yResolution = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    const bool hasPhys = png_get_pHYs(reader.png(), reader.info(), &xResolution, &yResolution, &unit) != 0;
    const bool inMetres = hasPhys && unit == PNG_RESOLUTION_METER;
    return {pointsFor(png_get_image_width(reader.png(), reader.info()), xResolution, inMetres),
            pointsFor(png_get_image_height(reader.png(), reader.info()), yResolution, inMetres)};
}

} // namespace

std::optional<ReportedSize> pngReportedSize(const std::filesystem::path& path) {
    const posix::UniqueFd file = openRegularFile(AT_FDCWD, path, "The icon", path);
    int fd = file.get();
    PngReader reader;
    if (!reader.ready()) return std::nullopt;
    const bool headerRead = readHeader(reader, fd);
    refuseOversizedSides(reader);
    std::vector<png_byte> row;
    if (!headerRead || !decodeRows(reader, row)) return std::nullopt;
    return reportedSize(reader);
}

} // namespace bundlekiln
