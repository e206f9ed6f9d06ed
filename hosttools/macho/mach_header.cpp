#include "macho/mach_header.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "common/tool_failure.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

constexpr std::uint32_t kThin32 = 0xfeedface;
constexpr std::uint32_t kThin64 = 0xfeedfacf;
constexpr std::uint32_t kThin32Swapped = 0xcefaedfe;
constexpr std::uint32_t kThin64Swapped = 0xcffaedfe;
constexpr std::uint32_t kFat = 0xcafebabe;
constexpr std::uint32_t kFat64 = 0xcafebabf;

constexpr std::uint64_t kThin32HeaderSize = 28;
constexpr std::uint64_t kThin64HeaderSize = 32;
constexpr std::uint64_t kFatHeaderSize = 8;
constexpr std::uint64_t kFatArchSize = 20;
constexpr std::uint64_t kFatArch64Size = 32;

/// An open Mach-O candidate: the descriptor, its size and its name for messages.
struct MachFile {
    posix::UniqueFd fd;
    std::uint64_t size = 0;
    std::filesystem::path path;
};

MachFile openRegularFile(const std::filesystem::path& path) {
    // O_NONBLOCK so that a FIFO given by mistake is refused instead of hanging.
    MachFile file{posix::UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), 0, path};
    if (!file.fd.valid()) throwErrno("Could not open", path);
    struct stat status {};
    if (::fstat(file.fd.get(), &status) != 0) throwErrno("Could not read", path);
    if (!S_ISREG(status.st_mode)) throw ToolFailure(path.string() + " is not a regular file.");
    file.size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

[[noreturn]] void throwTruncated(const MachFile& file, const std::string& what, std::uint64_t needed) {
    throw ToolFailure(file.path.string() + " is truncated: " + what + " needs " + std::to_string(needed) +
                      " bytes but the file has " + std::to_string(file.size) + ".");
}

/// Reads exactly `size` bytes at `offset` into `buffer`.
void readAt(const MachFile& file, std::uint64_t offset, unsigned char* buffer, std::size_t size) {
    const auto got = ::pread(file.fd.get(), buffer, size, static_cast<off_t>(offset));
    if (got < 0) throwErrno("Could not read", file.path);
    if (static_cast<std::size_t>(got) != size) throwTruncated(file, "a header", offset + size);
}

std::uint32_t load32(const unsigned char* bytes, bool bigEndian) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::uint32_t{bytes[bigEndian ? i : 3 - i]} << (8 * (3 - i));
    }
    return value;
}

std::uint64_t load64BigEndian(const unsigned char* bytes) {
    return (std::uint64_t{load32(bytes, true)} << 32) | load32(bytes + 4, true);
}

std::vector<Architecture> readThin(const MachFile& file, std::uint64_t headerSize, bool bigEndian) {
    if (file.size < headerSize) throwTruncated(file, "its Mach-O header", headerSize);
    unsigned char header[12];
    readAt(file, 0, header, sizeof header);
    return {Architecture{load32(header + 4, bigEndian), load32(header + 8, bigEndian)}};
}

/// One fat_arch or fat_arch_64 entry: where its slice lies.
struct FatEntry {
    Architecture architecture;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

FatEntry readFatEntry(const MachFile& file, std::uint64_t at, bool wide) {
    unsigned char bytes[kFatArch64Size];
    readAt(file, at, bytes, wide ? kFatArch64Size : kFatArchSize);
    const Architecture architecture{load32(bytes, true), load32(bytes + 4, true)};
    if (wide) return {architecture, load64BigEndian(bytes + 8), load64BigEndian(bytes + 16)};
    return {architecture, load32(bytes + 8, true), load32(bytes + 12, true)};
}

void checkSliceBounds(const MachFile& file, const FatEntry& entry, std::uint64_t index,
                      std::uint64_t tableEnd) {
    const bool inside =
        entry.offset >= tableEnd && entry.offset <= file.size && entry.size <= file.size - entry.offset;
    if (inside) return;
    throw ToolFailure("Architecture " + std::to_string(index) + " in the fat header of " +
                      file.path.string() + " lies outside the file (offset " + std::to_string(entry.offset) +
                      ", size " + std::to_string(entry.size) + ", file size " + std::to_string(file.size) +
                      ").");
}

std::vector<Architecture> readFat(const MachFile& file, bool wide) {
    if (file.size < kFatHeaderSize) throwTruncated(file, "its fat header", kFatHeaderSize);
    unsigned char header[kFatHeaderSize];
    readAt(file, 0, header, sizeof header);
    const auto count = std::uint64_t{load32(header + 4, true)};
    if (count == 0) throw ToolFailure("The fat header of " + file.path.string() + " lists no architectures.");
    const auto entrySize = wide ? kFatArch64Size : kFatArchSize;
    const auto tableEnd = kFatHeaderSize + count * entrySize;
    if (tableEnd > file.size)
        throwTruncated(file, "its fat header of " + std::to_string(count) + " architectures", tableEnd);
    std::vector<Architecture> architectures;
    for (std::uint64_t index = 0; index < count; ++index) {
        // Entries are read one by one so a bogus count costs no memory; the first
        // entry whose slice is impossible ends the walk.
        const auto entry = readFatEntry(file, kFatHeaderSize + index * entrySize, wide);
        checkSliceBounds(file, entry, index, tableEnd);
        architectures.push_back(entry.architecture);
    }
    return architectures;
}

} // namespace

std::vector<Architecture> readArchitectures(const std::filesystem::path& path) {
    const MachFile file = openRegularFile(path);
    if (file.size < 4) throwTruncated(file, "a Mach-O magic number", 4);
    unsigned char magicBytes[4];
    readAt(file, 0, magicBytes, sizeof magicBytes);
    const auto magic = load32(magicBytes, true);
    switch (magic) {
    case kThin32:
        return readThin(file, kThin32HeaderSize, true);
    case kThin64:
        return readThin(file, kThin64HeaderSize, true);
    case kThin32Swapped:
        return readThin(file, kThin32HeaderSize, false);
    case kThin64Swapped:
        return readThin(file, kThin64HeaderSize, false);
    case kFat:
        return readFat(file, false);
    case kFat64:
        return readFat(file, true);
    default:
        break;
    }
    char hex[11];
    std::snprintf(hex, sizeof hex, "0x%08x", magic);
    throw ToolFailure(path.string() + " is not a Mach-O file (unknown magic " + hex + ").");
}

} // namespace hosttools
