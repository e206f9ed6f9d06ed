#include "archive/deflate_piece.h"

#include <zlib.h>

#include <string>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

// zlib rather than libdeflate: a member of a PKZip archive is one deflate
// stream, and libdeflate can only make streams that end where its input ends.
class Deflater {
public:
    Deflater() {
        if (::deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            throw ToolFailure("Could not start compressing.");
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { ::deflateEnd(&stream_); }

    z_stream& reset() {
        ::deflateReset(&stream_);
        return stream_;
    }

private:
    z_stream stream_{};
};

// The sync flush adds an empty stored block of five bytes after the bound.
constexpr std::size_t kFlushMargin = 16;

} // namespace

DeflatedPiece deflatePiece(const Bytes& input, bool last, const std::string& what) {
    thread_local Deflater deflater;
    z_stream& stream = deflater.reset();
    DeflatedPiece piece{Bytes(::deflateBound(&stream, input.size()) + kFlushMargin), input.size(),
                        static_cast<std::uint32_t>(::crc32_z(0, input.data(), input.size()))};
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = piece.data.data();
    stream.avail_out = static_cast<uInt>(piece.data.size());
    const int result = ::deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    if (result != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0 || stream.avail_out == 0)
        throw ToolFailure("Could not compress " + what + ".");
    piece.data.resize(piece.data.size() - stream.avail_out);
    return piece;
}

} // namespace hosttools
