#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hosttools_test {

struct CpuPair {
    std::uint32_t cpuType;
    std::uint32_t cpuSubtype;
};

/// A bare Mach-O header (no load commands) for one architecture.
std::string thinHeader(CpuPair cpu, bool is64Bit, bool bigEndian);

/// A fat (or, when `wide`, fat64) file whose slices are bare 64-bit
/// little-endian headers matching their arch entries, at 4 KiB alignment.
std::string fatFile(const std::vector<CpuPair>& slices, bool wide);

/// Big-endian 32-bit value, as fat headers store them.
std::string bigEndian32(std::uint32_t value);

} // namespace hosttools_test
