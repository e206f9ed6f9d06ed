#include "macho/architecture_name.h"

#include <array>

namespace hosttools {
namespace {

constexpr std::uint32_t kCapabilityMask = 0xff000000;
constexpr std::uint32_t kAbi64 = 0x01000000;
constexpr std::uint32_t kAbi64_32 = 0x02000000;

constexpr std::uint32_t kX86 = 7;
constexpr std::uint32_t kArm = 12;
constexpr std::uint32_t kPowerPc = 18;

struct NamedArchitecture {
    std::uint32_t cpuType;
    std::uint32_t cpuSubtype;
    const char* name;
};

constexpr std::array kNames{
    NamedArchitecture{kX86, 3, "i386"},
    NamedArchitecture{kX86 | kAbi64, 3, "x86_64"},
    NamedArchitecture{kX86 | kAbi64, 8, "x86_64h"},
    NamedArchitecture{kArm, 5, "armv4t"},
    NamedArchitecture{kArm, 6, "armv6"},
    NamedArchitecture{kArm, 7, "armv5e"},
    NamedArchitecture{kArm, 8, "xscale"},
    NamedArchitecture{kArm, 9, "armv7"},
    NamedArchitecture{kArm, 11, "armv7s"},
    NamedArchitecture{kArm, 12, "armv7k"},
    NamedArchitecture{kArm, 14, "armv6m"},
    NamedArchitecture{kArm, 15, "thumbv7m"},
    NamedArchitecture{kArm, 16, "thumbv7em"},
    NamedArchitecture{kArm | kAbi64, 0, "arm64"},
    NamedArchitecture{kArm | kAbi64, 2, "arm64e"},
    NamedArchitecture{kArm | kAbi64_32, 1, "arm64_32"},
    NamedArchitecture{kPowerPc, 0, "ppc"},
    NamedArchitecture{kPowerPc | kAbi64, 0, "ppc64"},
};

} // namespace

std::string architectureName(const Architecture& architecture) {
    const auto subtype = architecture.cpuSubtype & ~kCapabilityMask;
    for (const auto& named : kNames) {
        if (named.cpuType == architecture.cpuType && named.cpuSubtype == subtype) return named.name;
    }
    return "unknown(" + std::to_string(architecture.cpuType) + "," + std::to_string(subtype) + ")";
}

std::string architectureList(const std::vector<Architecture>& architectures) {
    std::string list;
    for (const auto& architecture : architectures) {
        if (!list.empty()) list += ' ';
        list += architectureName(architecture);
    }
    return list;
}

} // namespace hosttools
