#include "udif_writer.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <random>

#include "tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::uint32_t kChunkSectors = kChunkBytes / kSectorSize;
// The fastest level, as the platform's own tool uses for this format.
constexpr int kZlibLevel = 1;

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

}  // namespace

UdifWriter::UdifWriter(int fd, std::string what) : fd_(fd), what_(std::move(what)) {
  pending_.reserve(kChunkBytes);
  compressed_.resize(::compressBound(kChunkBytes));
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

void UdifWriter::flushChunk() {
  if (pending_.empty()) return;
  if (pending_.size() % kSectorSize != 0) throw ToolFailure("The volume for " + what_ + " ends inside a sector.");
  sectorCrc_ = crc(sectorCrc_, pending_.data(), pending_.size());
  uLongf length = compressed_.size();
  if (::compress2(compressed_.data(), &length, pending_.data(), pending_.size(), kZlibLevel) != Z_OK)
    throw ToolFailure("Could not compress " + what_ + ".");
  const bool raw = length >= pending_.size();
  const Bytes& stored = raw ? pending_ : compressed_;
  const std::size_t storedLength = raw ? pending_.size() : length;
  const std::uint64_t sectorCount = pending_.size() / kSectorSize;
  chunks_.push_back({raw ? ChunkKind::kRaw : ChunkKind::kZlib, sectors_, sectorCount, written_, storedLength});
  writeOut(stored.data(), storedLength);
  sectors_ += sectorCount;
  pending_.clear();
}

void UdifWriter::writeOut(const std::uint8_t* data, std::size_t size) {
  dataCrc_ = crc(dataCrc_, data, size);
  written_ += size;
  while (size > 0) {
    const ssize_t count = ::write(fd_, data, size);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throwErrno("Could not write", what_);
    data += count;
    size -= static_cast<std::size_t>(count);
  }
}

void UdifWriter::finish() {
  flushChunk();
  const std::uint64_t dataLength = written_;
  const std::uint32_t dataCrc = dataCrc_;
  const std::string list = partitionList(blockTable(chunks_, sectors_, sectorCrc_, kChunkSectors));
  writeOut(reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
  const Bytes end = trailer({dataLength, dataCrc, dataLength, list.size(), masterCrc(sectorCrc_), sectors_,
                             randomIdentifier()});
  writeOut(end.data(), end.size());
}

}  // namespace hosttools
