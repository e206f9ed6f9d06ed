#pragma once

#include <filesystem>
#include <string>

namespace bundlekiln::testing {

/// A fresh folder for one test, removed with everything in it afterwards.
class TemporaryFolder {
public:
    TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

/// Writes `contents` to `path`, creating its folders, and sets `mode`.
void writeFile(const std::filesystem::path& path, const std::string& contents, unsigned mode = 0644);

/// The whole contents of a file.
std::string readFile(const std::filesystem::path& path);

/// The permission bits of `path`, links not followed.
unsigned modeOf(const std::filesystem::path& path);

} // namespace bundlekiln::testing
