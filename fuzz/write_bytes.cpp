#include "write_bytes.h"

#include <fstream>
#include <stdexcept>

namespace fuzzing {

void writeBytes(const std::filesystem::path& file, const void* data, std::size_t size) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!stream.flush()) throw std::runtime_error("Could not write " + file.string());
}

} // namespace fuzzing
