#pragma once

#include <filesystem>

namespace bundlekiln {

/// The build's private folder "Kilnsmith-" + UUID under the temporary folder,
/// created exclusively and readable by its owner only. It is removed with
/// everything in it when the object goes away, on success and on every error;
/// a failure of that removal is ignored.
class StagingFolder {
public:
    /// Throws std::filesystem::filesystem_error when the folder cannot be made.
    StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace bundlekiln
