#include "macho_fixture.h"

namespace hosttools_test {
namespace {

constexpr std::uint32_t kAlignmentLog2 = 12;
constexpr std::size_t kSliceAlignment = std::size_t{1} << kAlignmentLog2;

std::string littleEndian32(std::uint32_t value) {
    std::string bytes = bigEndian32(value);
    return {bytes.rbegin(), bytes.rend()};
}

std::string bigEndian64(std::uint64_t value) {
    return bigEndian32(static_cast<std::uint32_t>(value >> 32)) +
           bigEndian32(static_cast<std::uint32_t>(value));
}

std::string fatEntry(CpuPair cpu, std::uint64_t offset, std::uint64_t size, bool wide) {
    std::string entry = bigEndian32(cpu.cpuType) + bigEndian32(cpu.cpuSubtype);
    if (wide)
        return entry + bigEndian64(offset) + bigEndian64(size) + bigEndian32(kAlignmentLog2) + bigEndian32(0);
    return entry + bigEndian32(static_cast<std::uint32_t>(offset)) +
           bigEndian32(static_cast<std::uint32_t>(size)) + bigEndian32(kAlignmentLog2);
}

} // namespace

std::string bigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string thinHeader(CpuPair cpu, bool is64Bit, bool bigEndian) {
    const auto word = bigEndian ? bigEndian32 : littleEndian32;
    // magic, cputype, cpusubtype, filetype (object), ncmds, sizeofcmds, flags [, reserved]
    std::string header = word(is64Bit ? 0xfeedfacf : 0xfeedface) + word(cpu.cpuType) + word(cpu.cpuSubtype) +
                         word(1) + word(0) + word(0) + word(0);
    return is64Bit ? header + word(0) : header;
}

std::string fatFile(const std::vector<CpuPair>& slices, bool wide) {
    std::string header =
        bigEndian32(wide ? 0xcafebabf : 0xcafebabe) + bigEndian32(static_cast<std::uint32_t>(slices.size()));
    std::string body;
    for (std::size_t index = 0; index < slices.size(); ++index) {
        const std::string slice = thinHeader(slices[index], true, false);
        const auto offset = kSliceAlignment * (index + 1);
        header += fatEntry(slices[index], offset, slice.size(), wide);
        body.resize(offset - kSliceAlignment, '\0');
        body += slice;
    }
    header.resize(kSliceAlignment, '\0');
    return header + body;
}

} // namespace hosttools_test
