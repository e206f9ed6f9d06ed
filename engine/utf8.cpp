#include "utf8.h"

#include <cstdint>
#include <cstring>

namespace bundlekiln {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the sequence that `lead` starts, with the range its second byte
// must fall in to exclude overlong forms, surrogates and values past U+10FFFF.
struct Sequence {
    int length;
    unsigned char secondMin;
    unsigned char secondMax;
};

Sequence sequenceFor(unsigned char lead) {
    if (lead < 0x80) return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// Tool output is mostly ASCII: eight bytes at a time pass when none has its
// top bit set.
bool isAsciiWord(std::string_view bytes, std::size_t index) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + index, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

} // namespace

bool isValidUTF8(std::string_view bytes) {
    std::size_t index = 0;
    while (index < bytes.size()) {
        if (index + 8 <= bytes.size() && isAsciiWord(bytes, index)) {
            index += 8;
            continue;
        }
        const auto lead = static_cast<unsigned char>(bytes[index]);
        const Sequence sequence = sequenceFor(lead);
        if (sequence.length == 0 || index + sequence.length > bytes.size()) return false;
        if (sequence.length > 1) {
            const auto second = static_cast<unsigned char>(bytes[index + 1]);
            if (second < sequence.secondMin || second > sequence.secondMax) return false;
            for (int offset = 2; offset < sequence.length; ++offset)
                if (!isContinuation(static_cast<unsigned char>(bytes[index + offset]))) return false;
        }
        index += sequence.length;
    }
    return true;
}

} // namespace bundlekiln
