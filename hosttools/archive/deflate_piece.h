#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/big_endian.h"

namespace hosttools {

/// Part of a raw deflate stream made from one piece of a file's bytes.
struct DeflatedPiece {
    Bytes data;
    std::size_t inputSize = 0;
    std::uint32_t inputCrc = 0;
};

/// Deflates `input` as the next piece of a file. Pieces made independently,
/// on any thread, join into one valid stream: every piece but the last ends
/// on a byte boundary (a sync flush) and refers to nothing before it, and the
/// last ends the stream. Throws ToolFailure naming `what` on failure.
DeflatedPiece deflatePiece(const Bytes& input, bool last, const std::string& what);

} // namespace hosttools
