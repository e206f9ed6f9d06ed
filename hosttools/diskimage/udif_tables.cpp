#include "diskimage/udif_tables.h"

#include "common/base64.h"

namespace hosttools {
namespace {

constexpr std::uint32_t kCrc32Checksum = 2;
constexpr std::uint32_t kTerminatorChunk = 0xFFFFFFFF;
constexpr std::size_t kTrailerSize = 512;

/// A checksum field: its type, its size in bits and 128 bytes holding it.
void appendChecksum(Bytes& out, std::uint32_t crc) {
    appendBigEndian(out, kCrc32Checksum);
    appendBigEndian<std::uint32_t>(out, 32);
    appendBigEndian(out, crc);
    appendZeros(out, 124);
}

void appendChunk(Bytes& out, std::uint32_t kind, std::uint64_t firstSector, std::uint64_t sectorCount,
                 std::uint64_t offset, std::uint64_t length) {
    appendBigEndian(out, kind);
    appendBigEndian<std::uint32_t>(out, 0); // comment
    appendBigEndian(out, firstSector);
    appendBigEndian(out, sectorCount);
    appendBigEndian(out, offset);
    appendBigEndian(out, length);
}

/// Base64 in lines of 52 characters, indented as the list nests them.
std::string wrappedBase64(const Bytes& bytes) {
    const std::string text = base64(bytes);
    std::string out;
    for (std::size_t at = 0; at < text.size(); at += 52) out += "\t\t\t\t" + text.substr(at, 52) + "\n";
    return out;
}

} // namespace

Bytes blockTable(const std::vector<Chunk>& chunks, std::uint64_t sectorCount, std::uint32_t sectorCrc,
                 std::uint32_t bufferSectors) {
    Bytes out;
    appendBigEndian<std::uint32_t>(out, 0x6D697368); // 'mish'
    appendBigEndian<std::uint32_t>(out, 1);          // version
    appendBigEndian<std::uint64_t>(out, 0);          // first sector of the partition on the disk
    appendBigEndian(out, sectorCount);
    appendBigEndian<std::uint64_t>(out, 0); // data offset
    appendBigEndian(out, bufferSectors);
    appendBigEndian<std::uint32_t>(out, 0); // partition number
    appendZeros(out, 24);
    appendChecksum(out, sectorCrc);
    appendBigEndian(out, static_cast<std::uint32_t>(chunks.size() + 1));
    std::uint64_t end = 0;
    for (const auto& chunk : chunks) {
        appendChunk(out, static_cast<std::uint32_t>(chunk.kind), chunk.firstSector, chunk.sectorCount,
                    chunk.offset, chunk.length);
        end = chunk.offset + chunk.length;
    }
    appendChunk(out, kTerminatorChunk, sectorCount, 0, end, 0);
    return out;
}

std::string partitionList(const Bytes& table) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist "
           "version=\"1.0\">\n<dict>\n\t<key>resource-fork</key>\n\t<dict>\n\t\t<key>blkx</"
           "key>\n\t\t<array>\n"
           "\t\t\t<dict>\n"
           "\t\t\t\t<key>Attributes</key>\n\t\t\t\t<string>0x0050</string>\n"
           "\t\t\t\t<key>CFName</key>\n\t\t\t\t<string>disk image (Apple_HFSX : 0)</string>\n"
           "\t\t\t\t<key>Data</key>\n\t\t\t\t<data>\n" +
           wrappedBase64(table) +
           "\t\t\t\t</data>\n"
           "\t\t\t\t<key>ID</key>\n\t\t\t\t<string>0</string>\n"
           "\t\t\t\t<key>Name</key>\n\t\t\t\t<string>disk image (Apple_HFSX : 0)</string>\n"
           "\t\t\t</dict>\n\t\t</array>\n\t</dict>\n</dict>\n</plist>\n";
}

Bytes trailer(const TrailerFields& fields) {
    Bytes out;
    appendBigEndian<std::uint32_t>(out, 0x6B6F6C79); // 'koly'
    appendBigEndian<std::uint32_t>(out, 4);          // version
    appendBigEndian<std::uint32_t>(out, kTrailerSize);
    appendBigEndian<std::uint32_t>(out, 1); // flags: flattened
    appendBigEndian<std::uint64_t>(out, 0); // running data fork offset
    appendBigEndian<std::uint64_t>(out, 0); // data fork offset
    appendBigEndian(out, fields.dataLength);
    appendBigEndian<std::uint64_t>(out, 0); // resource fork offset
    appendBigEndian<std::uint64_t>(out, 0); // resource fork length
    appendBigEndian<std::uint32_t>(out, 1); // segment number
    appendBigEndian<std::uint32_t>(out, 1); // segment count
    out.insert(out.end(), fields.segmentId.begin(), fields.segmentId.end());
    appendChecksum(out, fields.dataCrc);
    appendBigEndian(out, fields.listOffset);
    appendBigEndian(out, fields.listLength);
    appendZeros(out, 120);
    appendChecksum(out, fields.masterCrc);
    appendBigEndian<std::uint32_t>(out, 1); // image variant: device image
    appendBigEndian(out, fields.sectorCount);
    appendZeros(out, kTrailerSize - out.size());
    return out;
}

} // namespace hosttools
