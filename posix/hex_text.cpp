#include "posix/hex_text.h"

namespace posix {

std::string hexText(std::span<const unsigned char> bytes, HexDigits digits) {
    const char* const alphabet = digits == HexDigits::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        text += alphabet[byte >> 4];
        text += alphabet[byte & 0x0F];
    }
    return text;
}

} // namespace posix
