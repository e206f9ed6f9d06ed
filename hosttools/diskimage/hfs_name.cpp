#include "diskimage/hfs_name.h"

#include <cstdint>
#include <optional>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kMaximumUnits = 255;

/// Decodes the code point at `at`, advancing past it; none when the bytes
/// there are not well-formed UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> decodeAt(const std::string& text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
    if (length == 0 || at + length > text.size()) return std::nullopt;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (int index = 1; index < length; ++index) {
        const auto next = static_cast<unsigned char>(text[at + index]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        point = (point << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return std::nullopt;
    at += length;
    return point;
}

void appendUtf16(std::u16string& out, char32_t point) {
    if (point == U':') point = U'/';
    if (point < 0x10000) return out.push_back(static_cast<char16_t>(point));
    point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
}

} // namespace

std::u16string hfsName(const std::string& utf8, const std::string& what) {
    std::u16string name;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto point = decodeAt(utf8, at);
        if (!point) throw ToolFailure(what + ": the name is not valid UTF-8.");
        appendUtf16(name, *point);
    }
    if (name.size() > kMaximumUnits) throw ToolFailure(what + ": the name is longer than 255 characters.");
    return name;
}

} // namespace hosttools
