#include "diskimage/udif_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <random>

#include "common/tool_failure.h"
#include "posix/write_all.h"

namespace hosttools {
namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::uint32_t kChunkSectors = kChunkBytes / kSectorSize;
// The fastest level, as the platform's own tool uses for this format.
constexpr int kZlibLevel = 1;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// libdeflate makes whole zlib streams, which is what each chunk is, at about
// twice zlib's speed; one compressor per thread, as it keeps state.
libdeflate_compressor& threadCompressor() {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
        libdeflate_alloc_compressor(kZlibLevel));
    if (!compressor) throw std::bad_alloc();
    return *compressor;
}

std::uint32_t crc(std::uint32_t running, const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint32_t>(::crc32_z(running, data, size));
}

std::uint32_t masterCrc(std::uint32_t partitionCrc) {
    Bytes checksums;
    appendBigEndian(checksums, partitionCrc);
    return crc(0, checksums.data(), checksums.size());
}

std::array<std::uint8_t, 16> randomIdentifier() {
    std::random_device random;
    std::array<std::uint8_t, 16> id{};
    for (auto& byte : id) byte = static_cast<std::uint8_t>(random());
    return id;
}

} // namespace

UdifWriter::UdifWriter(int fd, std::string what)
    : fd_(fd), what_(std::move(what)), compressions_([this](StoredChunk& chunk) { store(chunk); }) {
    pending_.reserve(kChunkBytes);
}

void UdifWriter::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t count = std::min(size, kChunkBytes - pending_.size());
        pending_.insert(pending_.end(), data, data + count);
        data += count;
        size -= count;
        if (pending_.size() == kChunkBytes) flushChunk();
    }
}

// A chunk that would not shrink by a byte is kept raw: the output buffer is
// one byte short of the input, so libdeflate gives up on it.
UdifWriter::StoredChunk UdifWriter::compress(const Bytes& sectors) {
    StoredChunk chunk{Bytes(sectors.size() - 1), false, sectors.size(),
                      crc(0, sectors.data(), sectors.size())};
    const std::size_t length = libdeflate_zlib_compress(&threadCompressor(), sectors.data(), sectors.size(),
                                                        chunk.bytes.data(), chunk.bytes.size());
    chunk.raw = length == 0;
    if (chunk.raw)
        chunk.bytes = sectors;
    else
        chunk.bytes.resize(length);
    return chunk;
}

void UdifWriter::flushChunk() {
    if (pending_.empty()) return;
    if (pending_.size() % kSectorSize != 0)
        throw ToolFailure("The volume for " + what_ + " ends inside a sector.");
    compressions_.submit([sectors = std::move(pending_)] { return compress(sectors); });
    pending_ = Bytes();
    pending_.reserve(kChunkBytes);
}

void UdifWriter::store(StoredChunk& chunk) {
    sectorCrc_ = static_cast<std::uint32_t>(::crc32_combine(sectorCrc_, chunk.inputCrc, chunk.inputSize));
    const std::uint64_t sectorCount = chunk.inputSize / kSectorSize;
    chunks_.push_back({chunk.raw ? ChunkKind::kRaw : ChunkKind::kZlib, sectors_, sectorCount, written_,
                       chunk.bytes.size()});
    writeOut(chunk.bytes.data(), chunk.bytes.size());
    sectors_ += sectorCount;
}

void UdifWriter::writeOut(const std::uint8_t* data, std::size_t size) {
    dataCrc_ = crc(dataCrc_, data, size);
    written_ += size;
    posix::writeAll<ToolFailure>(fd_, std::string_view(reinterpret_cast<const char*>(data), size), what_);
}

void UdifWriter::finish() {
    flushChunk();
    compressions_.finish();
    const std::uint64_t dataLength = written_;
    const std::uint32_t dataCrc = dataCrc_;
    const std::string list = partitionList(blockTable(chunks_, sectors_, sectorCrc_, kChunkSectors));
    writeOut(reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
    const Bytes end = trailer(
        {dataLength, dataCrc, dataLength, list.size(), masterCrc(sectorCrc_), sectors_, randomIdentifier()});
    writeOut(end.data(), end.size());
}

} // namespace hosttools
