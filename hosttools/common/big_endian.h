#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hosttools {

/// Raw bytes of an on-disk structure.
using Bytes = std::vector<std::uint8_t>;

/// Appends `value` most significant byte first, as HFS Plus and disk image
/// structures store every integer.
template <typename Integer>
void appendBigEndian(Bytes& out, Integer value) {
    for (int shift = 8 * (static_cast<int>(sizeof(Integer)) - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> shift));
}

/// Overwrites sizeof(Integer) bytes at `offset` with `value`, most significant first.
template <typename Integer>
void storeBigEndian(Bytes& out, std::size_t offset, Integer value) {
    for (std::size_t index = 0; index < sizeof(Integer); ++index)
        out.at(offset + index) = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >>
                                                           (8 * (sizeof(Integer) - 1 - index)));
}

inline void appendZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

} // namespace hosttools
