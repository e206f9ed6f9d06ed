#include "archive/zip_writer.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

#include "common/little_endian.h"
#include "common/tool_failure.h"
#include "posix/write_all.h"

namespace hosttools {
namespace {

constexpr std::size_t kPieceSize = 1 << 20;
// A file this small is not worth a thread of its own.
constexpr std::size_t kSmallFile = 64 * 1024;
// A file near 4 GiB may deflate to more than its own size; its local header
// gets Zip64 sizes in time, since the header is written before its data.
constexpr std::uint64_t kZip64FileSize = 0xFFFFFFFFull - (64ull << 20);
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
constexpr std::uint16_t kMax16 = 0xFFFF;
constexpr std::uint16_t kStored = 0, kDeflated = 8;
constexpr std::uint16_t kUnixHost = 3 << 8;
constexpr std::uint16_t kVersionDeflate = 20, kVersionZip64 = 45;
constexpr std::uint16_t kUtf8Names = 1 << 11;
constexpr std::uint32_t kDosFolder = 0x10;
constexpr std::size_t kLocalHeaderSize = 30;

std::uint16_t versionNeeded(bool zip64) {
    return zip64 ? kVersionZip64 : kVersionDeflate;
}

std::uint16_t nameFlags(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })
               ? kUtf8Names
               : 0;
}

/// The MS-DOS time and date fields (local time, two-second steps, 1980 to 2107).
std::pair<std::uint16_t, std::uint16_t> dosTimeAndDate(std::int64_t modified) {
    const std::time_t seconds = static_cast<std::time_t>(modified);
    std::tm local{};
    if (!::localtime_r(&seconds, &local) || local.tm_year < 80) return {0, (1 << 5) | 1};
    if (local.tm_year > 207) return {(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
    return {
        static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2)),
        static_cast<std::uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday)};
}

/// The extended-timestamp field with the exact modification time, when it fits.
void appendTimestamp(Bytes& extra, std::int64_t modified) {
    if (modified < std::numeric_limits<std::int32_t>::min() ||
        modified > std::numeric_limits<std::int32_t>::max())
        return;
    appendLittleEndian<std::uint16_t>(extra, 0x5455);
    appendLittleEndian<std::uint16_t>(extra, 5);
    extra.push_back(1); // the modification time only
    appendLittleEndian<std::int32_t>(extra, static_cast<std::int32_t>(modified));
}

std::uint32_t clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, kMax32));
}

void appendCommonFields(Bytes& out, const std::string& name, std::uint16_t method, std::int64_t modified,
                        bool zip64) {
    appendLittleEndian(out, versionNeeded(zip64));
    appendLittleEndian(out, nameFlags(name));
    appendLittleEndian(out, method);
    const auto [time, date] = dosTimeAndDate(modified);
    appendLittleEndian(out, time);
    appendLittleEndian(out, date);
}

Bytes readPiece(int fd, const std::filesystem::path& file, std::size_t capacity) {
    Bytes piece(capacity);
    std::size_t filled = 0;
    while (filled < piece.size()) {
        const ssize_t count = ::read(fd, piece.data() + filled, piece.size() - filled);
        if (count == 0) break;
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throwErrno("Could not read", file);
        filled += static_cast<std::size_t>(count);
    }
    piece.resize(filled);
    return piece;
}

} // namespace

ZipWriter::ZipWriter(int fd, std::string what)
    : fd_(fd), what_(std::move(what)), outputs_([this](Output& output) { deliver(output); }) {}

void ZipWriter::addFolder(const std::string& name, const struct stat& status) {
    addMember({name + "/", kStored, (static_cast<std::uint32_t>(status.st_mode & 0xFFFF) << 16) | kDosFolder},
              status, {});
}

void ZipWriter::addSymlink(const std::string& name, const std::string& target, const struct stat& status) {
    addMember({name, kStored, static_cast<std::uint32_t>(status.st_mode & 0xFFFF) << 16}, status,
              Bytes(target.begin(), target.end()));
}

void ZipWriter::addFile(const std::string& name, int fd, const std::filesystem::path& file,
                        const struct stat& status) {
    Member member{name, kDeflated, static_cast<std::uint32_t>(status.st_mode & 0xFFFF) << 16};
    member.zip64Sizes = static_cast<std::uint64_t>(status.st_size) >= kZip64FileSize;
    addMember(std::move(member), status, {});
    // One piece read ahead tells which piece is the last, whatever the file's
    // size was when it was listed; a small file gets a buffer of its own size.
    std::size_t capacity = std::min<std::size_t>(kPieceSize, static_cast<std::size_t>(status.st_size) + 1);
    Bytes piece = readPiece(fd, file, capacity);
    for (;;) {
        Bytes next = piece.size() == capacity ? readPiece(fd, file, capacity = kPieceSize) : Bytes();
        const bool last = next.empty();
        auto job = [this, piece = std::move(piece), last] {
            return Output{false, {}, deflatePiece(piece, last, what_), last};
        };
        if (last && status.st_size <= static_cast<off_t>(kSmallFile))
            outputs_.submitHere(std::move(job));
        else
            outputs_.submit(std::move(job));
        if (last) return;
        piece = std::move(next);
    }
}

// Sizes and checksum of a deflated member are filled in once its last piece
// is out; a stored member's are known at once.
void ZipWriter::addMember(Member member, const struct stat& status, Bytes storedData) {
    if (member.name.size() > kMax16)
        throw ToolFailure("Could not add ", member.name, " to " + what_ + ": its name is too long.");
    member.modified = status.st_mtim.tv_sec;
    if (member.method == kStored) {
        member.size = member.compressedSize = storedData.size();
        member.crc = static_cast<std::uint32_t>(::crc32_z(0, storedData.data(), storedData.size()));
    }
    Bytes header;
    appendLittleEndian<std::uint32_t>(header, 0x04034b50);
    appendCommonFields(header, member.name, member.method, member.modified, member.zip64Sizes);
    appendLittleEndian(header, member.crc);
    appendLittleEndian(header, member.zip64Sizes ? kMax32 : clamp32(member.compressedSize));
    appendLittleEndian(header, member.zip64Sizes ? kMax32 : clamp32(member.size));
    Bytes extra;
    if (member.zip64Sizes) {
        appendLittleEndian<std::uint16_t>(extra, 0x0001);
        appendLittleEndian<std::uint16_t>(extra, 16);
        appendLittleEndian<std::uint64_t>(extra, 0);
        appendLittleEndian<std::uint64_t>(extra, 0);
    }
    appendTimestamp(extra, member.modified);
    appendLittleEndian(header, static_cast<std::uint16_t>(member.name.size()));
    appendLittleEndian(header, static_cast<std::uint16_t>(extra.size()));
    header.insert(header.end(), member.name.begin(), member.name.end());
    header.insert(header.end(), extra.begin(), extra.end());
    header.insert(header.end(), storedData.begin(), storedData.end());
    members_.push_back(std::move(member));
    outputs_.submitHere([header = std::move(header)] { return Output{true, header, {}, false}; });
}

// Runs on the caller's thread, in order: the member a piece belongs to is the
// one whose header went out last.
void ZipWriter::deliver(Output& output) {
    if (output.header) {
        members_[delivered_].offset = written_;
        writeOut(output.bytes);
        ++delivered_;
        return;
    }
    Member& member = members_[delivered_ - 1];
    member.crc = static_cast<std::uint32_t>(
        ::crc32_combine(member.crc, output.piece.inputCrc, output.piece.inputSize));
    member.size += output.piece.inputSize;
    member.compressedSize += output.piece.data.size();
    writeOut(output.piece.data);
    if (output.lastPiece) patchLocalHeader(member);
}

void ZipWriter::patchLocalHeader(const Member& member) {
    if (!member.zip64Sizes && (member.size >= kMax32 || member.compressedSize >= kMax32))
        throw ToolFailure("Could not add ", member.name,
                          " to " + what_ + ": the file grew while it was archived.");
    Bytes fields;
    appendLittleEndian(fields, member.crc);
    if (!member.zip64Sizes) {
        appendLittleEndian(fields, static_cast<std::uint32_t>(member.compressedSize));
        appendLittleEndian(fields, static_cast<std::uint32_t>(member.size));
    }
    Bytes sizes64;
    appendLittleEndian(sizes64, member.size);
    appendLittleEndian(sizes64, member.compressedSize);
    const auto at = static_cast<off_t>(member.offset);
    const bool patched =
        ::pwrite(fd_, fields.data(), fields.size(), at + 14) == static_cast<ssize_t>(fields.size()) &&
        (!member.zip64Sizes ||
         ::pwrite(fd_, sizes64.data(), sizes64.size(), at + kLocalHeaderSize + member.name.size() + 4) ==
             static_cast<ssize_t>(sizes64.size()));
    if (!patched) throwErrno("Could not write", what_);
}

void ZipWriter::writeOut(const Bytes& bytes) {
    posix::writeAll<ToolFailure>(
        fd_, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), what_);
    written_ += bytes.size();
}

Bytes ZipWriter::centralRecord(const Member& member) {
    const bool offset64 = member.offset >= kMax32;
    const bool zip64 = member.zip64Sizes || offset64;
    Bytes record;
    appendLittleEndian<std::uint32_t>(record, 0x02014b50);
    appendLittleEndian<std::uint16_t>(record, kUnixHost | versionNeeded(zip64));
    appendCommonFields(record, member.name, member.method, member.modified, zip64);
    appendLittleEndian(record, member.crc);
    appendLittleEndian(record,
                       member.zip64Sizes ? kMax32 : static_cast<std::uint32_t>(member.compressedSize));
    appendLittleEndian(record, member.zip64Sizes ? kMax32 : static_cast<std::uint32_t>(member.size));
    Bytes extra;
    if (zip64) {
        appendLittleEndian<std::uint16_t>(extra, 0x0001);
        appendLittleEndian<std::uint16_t>(extra, (member.zip64Sizes ? 16 : 0) + (offset64 ? 8 : 0));
        if (member.zip64Sizes) {
            appendLittleEndian(extra, member.size);
            appendLittleEndian(extra, member.compressedSize);
        }
        if (offset64) appendLittleEndian(extra, member.offset);
    }
    appendTimestamp(extra, member.modified);
    appendLittleEndian(record, static_cast<std::uint16_t>(member.name.size()));
    appendLittleEndian(record, static_cast<std::uint16_t>(extra.size()));
    appendLittleEndian<std::uint16_t>(record, 0); // comment length
    appendLittleEndian<std::uint16_t>(record, 0); // disk number
    appendLittleEndian<std::uint16_t>(record, 0); // internal attributes
    appendLittleEndian(record, member.externalAttributes);
    appendLittleEndian(record, clamp32(member.offset));
    record.insert(record.end(), member.name.begin(), member.name.end());
    record.insert(record.end(), extra.begin(), extra.end());
    return record;
}

void ZipWriter::finish() {
    outputs_.finish();
    const std::uint64_t directoryOffset = written_;
    Bytes directory;
    for (const Member& member : members_) {
        const Bytes record = centralRecord(member);
        directory.insert(directory.end(), record.begin(), record.end());
        if (directory.size() >= kPieceSize) {
            writeOut(directory);
            directory.clear();
        }
    }
    writeOut(directory);
    writeEndRecords(directoryOffset, written_ - directoryOffset);
}

// The Zip64 end records come first when the count, the directory's size or
// its offset do not fit the classic record, which then says so with all ones.
void ZipWriter::writeEndRecords(std::uint64_t directoryOffset, std::uint64_t directorySize) {
    const std::uint64_t count = members_.size();
    Bytes end;
    if (count >= kMax16 || directoryOffset >= kMax32 || directorySize >= kMax32) {
        const std::uint64_t recordOffset = written_;
        appendLittleEndian<std::uint32_t>(end, 0x06064b50);
        appendLittleEndian<std::uint64_t>(end, 44); // size of the rest of the record
        appendLittleEndian<std::uint16_t>(end, kUnixHost | kVersionZip64);
        appendLittleEndian<std::uint16_t>(end, kVersionZip64);
        appendLittleEndian<std::uint32_t>(end, 0); // this disk
        appendLittleEndian<std::uint32_t>(end, 0); // the directory's disk
        appendLittleEndian(end, count);
        appendLittleEndian(end, count);
        appendLittleEndian(end, directorySize);
        appendLittleEndian(end, directoryOffset);
        appendLittleEndian<std::uint32_t>(end, 0x07064b50);
        appendLittleEndian<std::uint32_t>(end, 0); // the record's disk
        appendLittleEndian(end, recordOffset);
        appendLittleEndian<std::uint32_t>(end, 1); // disks in all
    }
    appendLittleEndian<std::uint32_t>(end, 0x06054b50);
    appendLittleEndian<std::uint16_t>(end, 0);
    appendLittleEndian<std::uint16_t>(end, 0);
    appendLittleEndian(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(count, kMax16)));
    appendLittleEndian(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(count, kMax16)));
    appendLittleEndian(end, clamp32(directorySize));
    appendLittleEndian(end, clamp32(directoryOffset));
    appendLittleEndian<std::uint16_t>(end, 0); // comment length
    writeOut(end);
}

} // namespace hosttools
