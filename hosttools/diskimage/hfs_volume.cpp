#include "diskimage/hfs_volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <random>

#include "common/tool_failure.h"
#include "diskimage/hfs_catalog.h"
#include "diskimage/hfs_name.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kBlockSize = 4096;
constexpr std::uint32_t kBitsPerBitmapBlock = kBlockSize * 8;
constexpr std::size_t kVolumeHeaderOffset = 1024;
constexpr std::size_t kVolumeHeaderSize = 512;
constexpr std::uint16_t kCaseSensitiveSignature = 0x4858; // 'HX'
constexpr std::uint16_t kCaseSensitiveVersion = 5;
constexpr std::uint32_t kUnmountedCleanly = 1u << 8;
constexpr std::uint32_t kLastMountedBy = 0x424B4C4E; // 'BKLN', this writer

// Extents tree: only its header node, as every file is one run of blocks.
constexpr BTreeShape kExtentsShape{kBlockSize, 10, kBTBigKeysMask, 0, false};
// Catalog: 8 KiB nodes, as the header node's map then covers half a gigabyte of catalog.
constexpr BTreeShape kCatalogShape{8192, 516, kBTBigKeysMask | kBTVariableIndexKeysMask, 0xBC, true};

/// A run of allocation blocks.
struct Extent {
    std::uint32_t start = 0;
    std::uint32_t count = 0;
};

/// Where everything lies on the volume, in allocation blocks.
struct Layout {
    Extent allocation, extents, catalog;
    std::uint32_t totalBlocks = 0;
};

std::uint32_t blocksFor(std::uint64_t bytes) {
    return static_cast<std::uint32_t>((bytes + kBlockSize - 1) / kBlockSize);
}

/// Places the special files after the block holding the volume header, the
/// file contents after them in entry order, and the alternate header in a
/// block of its own at the end.
Layout placeBlocks(Catalog& catalog, std::uint64_t catalogBytes) {
    std::uint64_t contentBlocks = 0;
    for (const auto& entry : catalog.entries) contentBlocks += blocksFor(entry.dataSize);
    Layout layout;
    layout.allocation.start = 1;
    // The bitmap covers itself, so grow it until it covers everything.
    for (std::uint64_t total = 0;;) {
        total = 1 + layout.allocation.count + 1 + blocksFor(catalogBytes) + contentBlocks + 1;
        if (total > UINT32_MAX) throw ToolFailure("The source is too large for one image.");
        const auto needed =
            static_cast<std::uint32_t>((total + kBitsPerBitmapBlock - 1) / kBitsPerBitmapBlock);
        if (needed == layout.allocation.count) {
            layout.totalBlocks = static_cast<std::uint32_t>(total);
            break;
        }
        layout.allocation.count = needed;
    }
    layout.extents = {layout.allocation.start + layout.allocation.count, 1};
    layout.catalog = {layout.extents.start + 1, blocksFor(catalogBytes)};
    std::uint32_t next = layout.catalog.start + layout.catalog.count;
    for (auto& entry : catalog.entries) {
        entry.blockCount = blocksFor(entry.dataSize);
        entry.startBlock = next;
        next += entry.blockCount;
    }
    return layout;
}

void appendFork(Bytes& out, const Extent& extent) {
    appendBigEndian<std::uint64_t>(out, static_cast<std::uint64_t>(extent.count) * kBlockSize);
    appendBigEndian<std::uint32_t>(out, extent.count * kBlockSize); // clump size
    appendBigEndian(out, extent.count);
    appendBigEndian(out, extent.start);
    appendBigEndian(out, extent.count);
    appendZeros(out, 7 * 8);
}

Bytes volumeHeader(const Catalog& catalog, const Layout& layout) {
    const std::uint32_t now = hfsDate(std::time(nullptr));
    Bytes out;
    appendBigEndian(out, kCaseSensitiveSignature);
    appendBigEndian(out, kCaseSensitiveVersion);
    appendBigEndian(out, kUnmountedCleanly);
    appendBigEndian(out, kLastMountedBy);
    appendBigEndian<std::uint32_t>(out, 0); // no journal
    for (const std::uint32_t date : {now, now, 0u, now})
        appendBigEndian(out, date); // created, modified, backed up, checked
    appendBigEndian(out, catalog.fileCount);
    appendBigEndian(out, catalog.folderCount);
    appendBigEndian(out, kBlockSize);
    appendBigEndian(out, layout.totalBlocks);
    appendBigEndian<std::uint32_t>(out, 0);     // free blocks: the volume is exactly as large as its contents
    appendBigEndian<std::uint32_t>(out, 0);     // next allocation: nothing is free to hint at
    appendBigEndian<std::uint32_t>(out, 65536); // resource clump size
    appendBigEndian<std::uint32_t>(out, 65536); // data clump size
    appendBigEndian(out, catalog.nextId);
    appendBigEndian<std::uint32_t>(out, 1); // write count
    appendBigEndian<std::uint64_t>(out, 1); // encodings used: Mac Roman
    appendZeros(out, 24);                   // Finder info: nothing blessed
    std::random_device random;
    for (int word = 0; word < 2; ++word) appendBigEndian<std::uint32_t>(out, random()); // volume identifier
    appendFork(out, layout.allocation);
    appendFork(out, layout.extents);
    appendFork(out, layout.catalog);
    appendZeros(out, 2 * 80); // no attributes or startup file
    return out;
}

void writeBytes(ByteSink& sink, const Bytes& bytes) {
    sink.write(bytes.data(), bytes.size());
}

void writeZeros(ByteSink& sink, std::uint64_t count) {
    static const Bytes zeros(1 << 16, 0);
    for (; count > 0; count -= std::min<std::uint64_t>(count, zeros.size()))
        sink.write(zeros.data(), std::min<std::uint64_t>(count, zeros.size()));
}

/// Every block is in use, so the bitmap is all ones for the volume's blocks
/// and zero beyond them.
Bytes allocationBitmap(const Layout& layout) {
    Bytes bitmap(static_cast<std::size_t>(layout.allocation.count) * kBlockSize, 0);
    std::fill(bitmap.begin(), bitmap.begin() + layout.totalBlocks / 8, 0xFF);
    if (layout.totalBlocks % 8)
        bitmap[layout.totalBlocks / 8] = static_cast<std::uint8_t>(0xFF00 >> (layout.totalBlocks % 8));
    return bitmap;
}

/// Copies exactly the size the scan saw, so the catalog stays true.
void streamFile(const fs::path& source, const CatalogEntry& entry, ByteSink& sink) {
    posix::UniqueFd fd(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) throwErrno("Could not open", source);
    static std::vector<std::uint8_t> buffer(1 << 20);
    for (std::uint64_t left = entry.dataSize; left > 0;) {
        const ssize_t count = ::read(fd.get(), buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwErrno("Could not read", source);
        if (count == 0) throw ToolFailure("", source, " became shorter while the image was made.");
        sink.write(buffer.data(), static_cast<std::size_t>(count));
        left -= static_cast<std::uint64_t>(count);
    }
}

void writeEntryContents(const Catalog& catalog, ByteSink& sink) {
    for (const auto& entry : catalog.entries) {
        if (entry.dataSize == 0) continue;
        if (S_ISLNK(entry.status.mode))
            sink.write(reinterpret_cast<const std::uint8_t*>(entry.linkTarget.data()),
                       entry.linkTarget.size());
        else
            streamFile(sourcePath(catalog, entry), entry, sink);
        writeZeros(sink, static_cast<std::uint64_t>(entry.blockCount) * kBlockSize - entry.dataSize);
    }
}

void writeContents(const Catalog& catalog, ByteSink& sink) {
    try {
        writeEntryContents(catalog, sink);
    } catch (ToolFailure& failure) {
        failure.shortenPathBelow(catalog.top);
        throw;
    }
}

} // namespace

void writeHfsVolume(const fs::path& source, const std::string& volumeName, ByteSink& sink) {
    Catalog catalog = scanCatalog(source, hfsName(volumeName, "The volume name " + volumeName));
    // The catalog's size fixes the layout, and the layout the catalog's
    // records; the size depends only on the names, so lay it out with blocks unset.
    const BTreeRecords records = catalogRecords(catalog);
    const BTreeFile catalogFile(records, kCatalogShape);
    const Layout layout = placeBlocks(catalog, catalogFile.size());
    const Bytes header = volumeHeader(catalog, layout);
    writeZeros(sink, kVolumeHeaderOffset);
    writeBytes(sink, header);
    writeZeros(sink, kBlockSize - kVolumeHeaderOffset - kVolumeHeaderSize);
    writeBytes(sink, allocationBitmap(layout));
    const BTreeRecords noRecords = [](const auto&) {};
    BTreeFile(noRecords, kExtentsShape).write(noRecords, sink);
    catalogFile.write(records, sink);
    writeContents(catalog, sink);
    // The alternate header sits 1024 bytes before the end of the volume.
    writeZeros(sink, kBlockSize - kVolumeHeaderOffset);
    writeBytes(sink, header);
    writeZeros(sink, kVolumeHeaderOffset - kVolumeHeaderSize);
}

} // namespace hosttools
