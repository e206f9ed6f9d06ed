#pragma once

#include <string>
#include <vector>

namespace hosttools {

/// One image of an .icns file: its four-character type code and its data
/// (here always a whole PNG file).
struct IcnsMember {
    std::string type;
    std::string data;
};

/// The .icns file holding `members` in order: "icns", the total length, then
/// each member as type, length (header included) and data, big-endian.
std::string encodeIcns(const std::vector<IcnsMember>& members);

} // namespace hosttools
