#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace hosttools {

/// One architecture named in a Mach-O header: the raw cpu type and subtype.
struct Architecture {
    std::uint32_t cpuType = 0;
    std::uint32_t cpuSubtype = 0;
};

/// Reads the architectures of a thin Mach-O file (32- or 64-bit, either byte
/// order) or of a fat / fat64 file (big-endian arch list), in header order.
/// Reads only the headers, never the slices. Throws ToolFailure naming the
/// file when it cannot be read, has an unknown magic, or its headers are
/// truncated or point outside the file.
std::vector<Architecture> readArchitectures(const std::filesystem::path& file);

} // namespace hosttools
