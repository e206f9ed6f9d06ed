#pragma once

#include "builder_error.h"
#include "kilnsmith.h"

#include <functional>

namespace bundlekiln {

/// Reaches the engine's private steps so that each can be tested on its own.
struct KilnsmithTestAccess {
    static void validateMetadata(const BuildOptions& options) { Kilnsmith().validateMetadata(options); }
    static std::filesystem::path resolveRuntime(const std::filesystem::path& runtime,
                                                const std::filesystem::path& staging) {
        std::filesystem::create_directories(staging);
        return Kilnsmith().resolveRuntime(runtime, Folder::open(staging));
    }
    static void repairPermissions(const std::filesystem::path& app) {
        Kilnsmith().repairPermissions(Folder::open(app));
    }
    static void updatePlist(const std::filesystem::path& app, const BuildOptions& options) {
        Kilnsmith().updatePlist(Folder::open(app), options);
    }
    static void installIcon(const std::filesystem::path& icon, const std::filesystem::path& resources,
                            const std::filesystem::path& staging, const std::filesystem::path& app) {
        Kilnsmith().installIcon(icon, Folder::open(resources), Folder::open(staging), Folder::open(app));
    }
    static void configureProject(Manifest& manifest, const std::filesystem::path& folder,
                                 const BuildOptions& options) {
        Kilnsmith().configureProject(manifest, Folder::open(folder), options);
    }
};

inline BuildOptions sampleOptions(std::string name = "Sample", std::string version = "1.0.0",
                                  std::string bundleID = "com.example.sample") {
    return BuildOptions("/p/index.html", "/r/nwjs.zip", "/out", std::move(name), std::move(version),
                        std::move(bundleID), std::nullopt, false);
}

/// What `step` returns; or the sentence of the BuilderError it throws, or the
/// reason of the file system error it throws.
inline std::string outcomeOf(const std::function<std::string()>& step) {
    try {
        return step();
    } catch (const BuilderError& error) {
        return error.message();
    } catch (const std::filesystem::filesystem_error& error) {
        return error.code().message();
    }
}

/// The refusal of `step`, as `outcomeOf` gives it, or "accepted".
inline std::string refusalOf(const std::function<void()>& step) {
    return outcomeOf([&] { return step(), std::string("accepted"); });
}

} // namespace bundlekiln
