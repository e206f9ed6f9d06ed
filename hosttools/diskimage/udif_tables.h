#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/big_endian.h"

namespace hosttools {

inline constexpr std::uint32_t kSectorSize = 512;

/// How a run of sectors is stored in the image's data fork.
enum class ChunkKind : std::uint32_t { kRaw = 0x00000001, kZlib = 0x80000005 };

/// One run of sectors of the partition and where its bytes lie in the data fork.
struct Chunk {
    ChunkKind kind;
    std::uint64_t firstSector;
    std::uint64_t sectorCount;
    std::uint64_t offset;
    std::uint64_t length;
};

/// The partition's block table ("mish"): its chunks, the CRC-32 of its
/// uncompressed sectors, and the largest chunk a reader must buffer.
Bytes blockTable(const std::vector<Chunk>& chunks, std::uint64_t sectorCount, std::uint32_t sectorCrc,
                 std::uint32_t bufferSectors);

/// The XML property list that lists the image's one partition, an HFS volume
/// without a partition map, with its block table.
std::string partitionList(const Bytes& blockTable);

/// What the image's trailer records.
struct TrailerFields {
    std::uint64_t dataLength;
    std::uint32_t dataCrc;
    std::uint64_t listOffset;
    std::uint64_t listLength;
    std::uint32_t masterCrc; // CRC-32 of the partitions' checksums, big-endian
    std::uint64_t sectorCount;
    std::array<std::uint8_t, 16> segmentId;
};

/// The 512-byte trailer ("koly") that ends every image.
Bytes trailer(const TrailerFields& fields);

} // namespace hosttools
