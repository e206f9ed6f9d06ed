#pragma once

#include <filesystem>
#include <string>

namespace hosttools_test {

/// A fresh folder under the system temporary folder, removed with its
/// contents when the object goes away.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

/// Writes `contents` to `file`, creating its parent folders.
void writeFile(const std::filesystem::path& file, const std::string& contents);

/// The whole contents of `file`.
std::string readFile(const std::filesystem::path& file);

} // namespace hosttools_test
