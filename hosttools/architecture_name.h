#pragma once

#include <string>

#include "mach_header.h"

namespace hosttools {

/// The name lipo prints for an architecture ("arm64", "x86_64h", ...). The
/// capability bits of the subtype are ignored; a pair without a name prints as
/// "unknown(cputype,subtype)" in decimal, as llvm-lipo does.
std::string architectureName(const Architecture& architecture);

} // namespace hosttools
