// Turns the runtime the user named (.zip, extracted folder or .app) into one
// NW.js application bundle.
#include "builder_error.h"
#include "kilnsmith.h"
#include "path_extension.h"
#include "tool_runner.h"

namespace bundlekiln {

namespace fs = std::filesystem;

// A runtime the user named is resolved through its links once, here, so that
// every later step reads the real bundle and the staged copy is a copy of it,
// never a link back to the user's files. Inside an unpacked archive a link is
// not a bundle: it could only lead out of the archive.
fs::path Kilnsmith::resolveRuntime(const fs::path& runtime, const Folder& staging) const {
    std::error_code error;
    if (fs::is_directory(runtime, error)) {
        if (pathExtension(runtime) == "app") return fs::canonical(runtime);
        if (auto app = findApp(runtime)) return fs::canonical(*app);
    }
    if (lowercasePathExtension(runtime) != "zip")
        throw BuilderError("Runtime must be an NW.js .zip download or an extracted .app.");
    const Folder unpacked = staging.makeFolder("runtime");
    run("/usr/bin/ditto", {"-x", "-k", runtime.string(), unpacked.path().string()});
    const auto app = findApp(unpacked.path());
    if (app && !fs::is_symlink(*app, error)) return *app;
    throw BuilderError("No macOS .app was found in that runtime archive.");
}

std::optional<fs::path> Kilnsmith::findApp(const fs::path& folder) const {
    std::error_code error;
    fs::recursive_directory_iterator entries(folder, fs::directory_options::skip_permission_denied, error);
    if (error) return std::nullopt;
    for (; entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        if (error) return std::nullopt;
        const fs::path& path = entries->path();
        const bool hidden = path.filename().string().starts_with(".");
        const bool bundle = pathExtension(path) == "app";
        // Neither hidden folders nor bundles are entered: the runtime's own
        // helper apps live inside its bundle and must never be taken for it.
        if (hidden || bundle) entries.disable_recursion_pending();
        if (!hidden && bundle && fs::exists(path / "Contents/MacOS/nwjs", error)) return path;
    }
    return std::nullopt;
}

} // namespace bundlekiln
