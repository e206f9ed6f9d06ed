#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ordered_jobs.h"
#include "diskimage/byte_sink.h"
#include "diskimage/udif_tables.h"

namespace hosttools {

/// Writes a compressed read-only disk image (UDZO) of one partition to a file
/// descriptor: the partition's sectors in zlib chunks of 1 MiB (kept raw
/// when they would not shrink), then the partition list and the trailer,
/// with the CRC-32 checksums that readers check. The chunks are independent,
/// so they are compressed on every core at once; only a few are held in
/// memory at a time.
class UdifWriter : public ByteSink {
public:
    /// `what` names the image in messages.
    UdifWriter(int fd, std::string what);

    void write(const std::uint8_t* data, std::size_t size) override;

    /// Writes the last chunk, the list and the trailer. The partition must be a
    /// whole number of sectors.
    void finish();

private:
    /// A chunk as it goes into the image: its bytes, compressed or raw.
    struct StoredChunk {
        Bytes bytes;
        bool raw = false;
        std::size_t inputSize = 0;
        std::uint32_t inputCrc = 0;
    };

    static StoredChunk compress(const Bytes& sectors);
    void flushChunk();
    void store(StoredChunk& chunk);
    void writeOut(const std::uint8_t* data, std::size_t size);

    int fd_;
    std::string what_;
    Bytes pending_;
    OrderedJobs<StoredChunk> compressions_;
    std::vector<Chunk> chunks_;
    std::uint64_t sectors_ = 0;
    std::uint64_t written_ = 0;
    std::uint32_t sectorCrc_ = 0;
    std::uint32_t dataCrc_ = 0;
};

} // namespace hosttools
