#pragma once

#include <string>
#include <vector>

#include "macho/mach_header.h"

namespace hosttools {

/// The name lipo prints for an architecture ("arm64", "x86_64h", ...). The
/// capability bits of the subtype are ignored; a pair without a name prints as
/// "unknown(cputype,subtype)" in decimal, as llvm-lipo does.
std::string architectureName(const Architecture& architecture);

/// The names of `architectures` in order, one blank between them, as
/// `lipo -archs` prints them.
std::string architectureList(const std::vector<Architecture>& architectures);

} // namespace hosttools
