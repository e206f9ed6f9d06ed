// Stand-in for /usr/bin/sips: only `sips -z HEIGHT WIDTH IN --out OUT`. It
// really resamples any PNG libpng reads, up or down, keeping transparency,
// and writes an RGBA PNG; the output appears only when complete.

#include <charconv>
#include <cstring>
#include <string_view>

#include "common/pending_file.h"
#include "common/tool_failure.h"
#include "common/usage.h"
#include "image/png_codec.h"
#include "image/resample.h"

namespace {

constexpr std::string_view kUsage = "sips -z HEIGHT WIDTH IN --out OUT";

/// A side length in pixels, or 0 when `text` is not one we accept.
std::uint32_t pixelCount(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value <= hosttools::kMaximumImageSide ? value : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7 || std::strcmp(argv[1], "-z") != 0 || std::strcmp(argv[5], "--out") != 0) {
        hosttools::exitWithUsage(kUsage);
    }
    const auto height = pixelCount(argv[2]);
    const auto width = pixelCount(argv[3]);
    if (height == 0 || width == 0) hosttools::exitWithUsage(kUsage);
    return hosttools::runTool("sips", [&] {
        const auto resampled = hosttools::resample(hosttools::readPng(argv[4]), width, height);
        hosttools::writeWholeFile(argv[6], hosttools::encodePng(resampled), "the image");
        return 0;
    });
}
