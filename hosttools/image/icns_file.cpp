#include "image/icns_file.h"

#include <cstdint>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kHeaderSize = 8;

void appendHeader(std::string& out, const std::string& type, std::uint64_t length) {
    if (length > UINT32_MAX) throw ToolFailure("The icon set is too large for an .icns file.");
    out += type;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(length >> shift & 0xFF);
}

} // namespace

std::string encodeIcns(const std::vector<IcnsMember>& members) {
    std::uint64_t total = kHeaderSize;
    for (const auto& member : members) total += kHeaderSize + member.data.size();
    std::string out;
    out.reserve(total);
    appendHeader(out, "icns", total);
    for (const auto& member : members) {
        appendHeader(out, member.type, kHeaderSize + member.data.size());
        out += member.data;
    }
    return out;
}

} // namespace hosttools
