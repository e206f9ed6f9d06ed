#pragma once

#include <cstddef>
#include <cstdint>

#include "common/big_endian.h"

namespace hosttools {

/// Appends `value` least significant byte first, as PKZip stores every integer.
template <typename Integer>
void appendLittleEndian(Bytes& out, Integer value) {
    for (std::size_t index = 0; index < sizeof(Integer); ++index)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * index)));
}

} // namespace hosttools
