#include "common/base64.h"

namespace hosttools {

std::string base64(const Bytes& bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = 0;
        for (std::size_t index = 0; index < 3; ++index)
            group = (group << 8) | (index < count ? bytes[at + index] : 0);
        for (std::size_t index = 0; index < 4; ++index)
            text += index <= count ? kDigits[(group >> (18 - 6 * index)) & 0x3F] : '=';
    }
    return text;
}

} // namespace hosttools
