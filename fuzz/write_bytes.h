#pragma once

#include <cstddef>
#include <filesystem>

namespace fuzzing {

/// Writes `size` bytes from `data` to `file`, replacing what it held.
void writeBytes(const std::filesystem::path& file, const void* data, std::size_t size);

} // namespace fuzzing
