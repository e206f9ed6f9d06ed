#pragma once

#include <string>

namespace hosttools {

/// The name as an HFS Plus catalog stores it: UTF-16 units of the UTF-8
/// name, with ':' and '/' swapped as the macOS file system layer does
/// (a POSIX name may hold ':' but never '/'). Names are kept as given, not
/// converted to decomposed Unicode. Throws ToolFailure naming `what` when the
/// name is not UTF-8 or longer than the 255 units a catalog key holds.
std::u16string hfsName(const std::string& utf8, const std::string& what);

} // namespace hosttools
