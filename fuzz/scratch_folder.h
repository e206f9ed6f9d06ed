#pragma once

#include <filesystem>

namespace fuzzing {

/// A fresh folder under TMPDIR or /tmp, removed with its contents when the
/// object goes away, so that no run sees what an earlier run left.
class ScratchFolder {
public:
    ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// Writes `size` bytes from `data` to `file`, replacing what it held.
void writeBytes(const std::filesystem::path& file, const void* data, std::size_t size);

} // namespace fuzzing
