#include "mixed_bytes.h"

#include <cstdint>

namespace hosttools_test {

std::string mixedBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (std::size_t at = 0; at < size; ++at) {
        state = state * 1103515245 + 12345;
        bytes[at] = (at / 300000) % 2 ? static_cast<char>('a' + at % 7) : static_cast<char>(state >> 24);
    }
    return bytes;
}

} // namespace hosttools_test
