#include "uuid.h"

#include "posix/hex_text.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <sys/random.h>
#include <system_error>

namespace bundlekiln {
namespace {

std::array<std::uint8_t, 16> randomBytes() {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (count < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "getrandom");
        if (count > 0) filled += static_cast<std::size_t>(count);
    }
    return bytes;
}

} // namespace

std::string randomUUID() {
    auto bytes = randomBytes();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    std::string text = posix::hexText(bytes, posix::HexDigits::upper);
    for (const std::size_t dash : {8, 13, 18, 23}) text.insert(dash, 1, '-');
    return text;
}

} // namespace bundlekiln
