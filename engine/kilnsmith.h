#pragma once

#include "build_options.h"
#include "folder.h"
#include "manifest.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace bundlekiln {

/// The build engine. `build` runs the whole pipeline on the calling thread, one
/// step after the other, and the first failing step ends it. All work happens
/// in a private staging folder that is removed on every way out; only a
/// finished app (and its packages) reach the output folder, and nothing there
/// is ever replaced. A front end creates one engine per build.
class Kilnsmith {
public:
    using Report = std::function<void(const std::string&)>;

    /// Called with each progress message, on the thread that runs `build`.
    /// Set it before the build; it must not change while one runs.
    Report report = [](const std::string&) {};

    /// Builds the app and returns its final location, output folder / (name + ".app").
    /// Throws BuilderError with the user-facing sentence for every failure the
    /// engine detects; errors of the file system, the parsers and process
    /// start-up pass through unchanged.
    std::filesystem::path build(const BuildOptions& options);

    /// Checks that the project can be packaged and returns its manifest: the
    /// project's own package.json, or a two-entry manifest ("name", "main") for
    /// an HTML file or folder. Only reads.
    Manifest validateProject(const std::filesystem::path& project) const;

    /// The window-fit script that every built app runs in its pages, inside
    /// the injected script that configureProject writes.
    static const std::string_view fitScript;

private:
    friend struct KilnsmithTestAccess;

    void validateMetadata(const BuildOptions& options) const;
    std::filesystem::path resolveRuntime(const std::filesystem::path& runtime, const Folder& staging) const;
    std::optional<std::filesystem::path> findApp(const std::filesystem::path& folder) const;
    void checkArchitecture(const std::filesystem::path& runtimeApp, const std::string& architecture) const;
    void addProjectFiles(const std::filesystem::path& source, const Folder& app, const Folder& staging) const;
    /// Writes the window settings into the staged project `folder`: updates
    /// `manifest` (name, version, window, inject_js_end), writes the injected
    /// script and then package.json, both atomically. Throws BuilderError when
    /// the project's own injection script lies outside the project or is
    /// reached through a link; read and write errors pass through.
    void configureProject(Manifest& manifest, const Folder& folder, const BuildOptions& options) const;
    /// Gives the staged bundle's Info.plist the chosen name, identifier and
    /// version and marks it high-resolution capable; written back as XML.
    void updatePlist(const Folder& app, const BuildOptions& options) const;
    /// Installs `icon` (.icns copied, square PNG rendered and compiled) as
    /// resources / "app.icns" and names it in the Info.plist. The icon is read
    /// once, into the staging folder, and only if it is a regular file.
    void installIcon(const std::filesystem::path& icon, const Folder& resources, const Folder& staging,
                     const Folder& app) const;
    void repairPermissions(const Folder& app) const;
    void signAndVerify(const std::filesystem::path& app, const BuildOptions& options,
                       const Folder& staging) const;
    void sign(const std::filesystem::path& app, const BuildOptions& options, const Folder& staging) const;
    void notarize(const std::filesystem::path& app, const std::string& profile,
                  const std::filesystem::path& staging) const;
    void buildZIP(const std::filesystem::path& app, const std::filesystem::path& folder) const;
    void buildDMG(const std::filesystem::path& app, const Folder& staging) const;
    void moveOutputs(const BuildOptions& options, const std::filesystem::path& stagedApp,
                     const Folder& staging) const;
};

} // namespace bundlekiln
