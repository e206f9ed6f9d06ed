#include "png_size.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace bundlekiln {
namespace {

constexpr double pointsPerInch = 72.0;
constexpr double metresPerInch = 0.0254;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

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

double pointsFor(png_uint_32 pixels, png_uint_32 pixelsPerMetre, bool hasResolution) {
    if (!hasResolution || pixelsPerMetre == 0) return pixels;
    return pixels * pointsPerInch / (pixelsPerMetre * metresPerInch);
}

/// Decodes every row (one row's memory at a time) and returns the size;
/// libpng reports any fault by jumping back here, so nothing with a
/// destructor may be created between setjmp and the end.
bool decode(PngReader& reader, std::FILE* file, std::vector<png_byte>& row, ReportedSize& size) {
    png_structp png = reader.png();
    png_infop info = reader.info();
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
    png_uint_32 xResolution = 0, yResolution = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    const bool hasPhys = png_get_pHYs(png, info, &xResolution, &yResolution, &unit) != 0;
    const bool inMetres = hasPhys && unit == PNG_RESOLUTION_METER;
    size = {pointsFor(width, xResolution, inMetres), pointsFor(height, yResolution, inMetres)};
    return true;
}

} // namespace

std::optional<ReportedSize> pngReportedSize(const std::filesystem::path& path) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        return std::nullopt;
    std::rewind(file.get());
    PngReader reader;
    if (!reader.ready()) return std::nullopt;
    std::vector<png_byte> row;
    ReportedSize size;
    if (!decode(reader, file.get(), row, size)) return std::nullopt;
    return size;
}

} // namespace bundlekiln
