#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/deflate_piece.h"
#include "common/big_endian.h"
#include "common/ordered_jobs.h"

namespace hosttools {

/// Writes a PKZip archive to a seekable file descriptor, one member at a time
/// in the order added: unix modes and modification times kept, symlinks
/// stored as their target, files deflated in pieces of 1 MiB on every core at
/// once (so one large file keeps both cores busy), and Zip64 records wherever
/// a size, an offset or the number of members outgrows the classic fields.
/// Only a few pieces are held in memory. Throws ToolFailure naming `what`.
class ZipWriter {
public:
    ZipWriter(int fd, std::string what);

    /// `name` is the member's path inside the archive, without a trailing "/".
    void addFolder(const std::string& name, const struct stat& status);
    void addSymlink(const std::string& name, const std::string& target, const struct stat& status);
    /// Reads the open file `fd` to its end; `file` names it in messages.
    void addFile(const std::string& name, int fd, const std::filesystem::path& file,
                 const struct stat& status);

    /// Writes the central directory and the end records.
    void finish();

private:
    struct Member {
        std::string name;
        std::uint16_t method = 0;
        std::uint32_t externalAttributes = 0;
        std::int64_t modified = 0;
        bool zip64Sizes = false; // the local header carries its sizes in a Zip64 field
        std::uint64_t offset = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint32_t crc = 0;
    };

    /// What goes out next, in order: a member's local header, or a piece of its data.
    struct Output {
        bool header = false;
        Bytes bytes;
        DeflatedPiece piece;
        bool lastPiece = false;
    };

    static Bytes centralRecord(const Member& member);
    void addMember(Member member, const struct stat& status, Bytes storedData);
    void deliver(Output& output);
    void patchLocalHeader(const Member& member);
    void writeOut(const Bytes& bytes);
    void writeEndRecords(std::uint64_t directoryOffset, std::uint64_t directorySize);

    int fd_;
    std::string what_;
    std::vector<Member> members_;
    std::uint64_t written_ = 0;
    std::size_t delivered_ = 0; // members whose local header is out
    OrderedJobs<Output> outputs_;
};

} // namespace hosttools
