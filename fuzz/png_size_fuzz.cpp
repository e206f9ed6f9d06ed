// An icon file as the user chooses it: its reported size, or a refusal.
#include "builder_error.h"
#include "png_size.h"
#include "posix/private_folder.h"
#include "write_bytes.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto folder = posix::PrivateFolder::create("bundlekiln");
    const auto image = folder.path() / "icon.png";
    fuzzing::writeBytes(image, data, size);
    try {
        if (const auto reported = bundlekiln::pngReportedSize(image)) {
            if (!std::isfinite(reported->width) || !std::isfinite(reported->height)) std::abort();
            if (reported->width < 0 || reported->height < 0) std::abort();
        }
    } catch (const bundlekiln::BuilderError&) {
        // An image too large to decode is refused by its header: a sentence, not a fault.
    }
    return 0;
}
