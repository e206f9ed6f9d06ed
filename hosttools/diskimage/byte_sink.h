#pragma once

#include <cstddef>
#include <cstdint>

namespace hosttools {

/// Receives a stream of bytes in order, e.g. the sectors of a volume as they
/// are laid out. Throws ToolFailure when the bytes cannot be stored.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const std::uint8_t* data, std::size_t size) = 0;
};

} // namespace hosttools
