#include "scratch_folder.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace fuzzing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/bundlekiln-fuzz.XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("Could not create " + pattern);
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void writeBytes(const fs::path& file, const void* data, std::size_t size) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!stream.flush()) throw std::runtime_error("Could not write " + file.string());
}

} // namespace fuzzing
