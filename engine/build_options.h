#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace bundlekiln {

/// The complete description of one build, handed by value from a front end to
/// the engine. It checks nothing itself: every combination can be stored, and
/// the build decides what is acceptable. The first eight fields are fixed at
/// creation; the rest carry defaults and may be changed afterwards.
class BuildOptions {
public:
    BuildOptions(std::filesystem::path project, std::filesystem::path runtime,
                 std::filesystem::path outputDirectory, std::string name, std::string version,
                 std::string bundleID, std::optional<std::filesystem::path> icon, bool dmg)
        : project_(std::move(project)),
          runtime_(std::move(runtime)),
          outputDirectory_(std::move(outputDirectory)),
          name_(std::move(name)),
          version_(std::move(version)),
          bundleID_(std::move(bundleID)),
          icon_(std::move(icon)),
          dmg_(dmg) {}

    const std::filesystem::path& project() const { return project_; }
    const std::filesystem::path& runtime() const { return runtime_; }
    const std::filesystem::path& outputDirectory() const { return outputDirectory_; }
    const std::string& name() const { return name_; }
    const std::string& version() const { return version_; }
    const std::string& bundleID() const { return bundleID_; }
    /// Empty means: keep the runtime's own icon.
    const std::optional<std::filesystem::path>& icon() const { return icon_; }
    bool dmg() const { return dmg_; }

    bool zip = false;
    bool autoSize = true;
    std::int64_t width = 900;
    std::int64_t height = 700;
    bool resizable = true;
    bool center = true;
    bool alwaysOnTop = false;
    bool hideScrollbars = true;
    bool frameless = false;
    bool closeButton = false;
    std::string architecture = "arm64";
    /// Empty means local ad-hoc signing.
    std::string signingIdentity;
    /// Empty means no notarization.
    std::string notaryProfile;

private:
    std::filesystem::path project_;
    std::filesystem::path runtime_;
    std::filesystem::path outputDirectory_;
    std::string name_;
    std::string version_;
    std::string bundleID_;
    std::optional<std::filesystem::path> icon_;
    bool dmg_;
};

} // namespace bundlekiln
