#pragma once

#include <filesystem>

namespace hosttools {

/// A folder only this user can enter, under TMPDIR or /tmp, removed with its
/// contents when the object goes away.
class PrivateTempFolder {
public:
    PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
    ~PrivateTempFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace hosttools
