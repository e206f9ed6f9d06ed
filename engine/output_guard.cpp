#include "output_guard.h"

#include "builder_error.h"

namespace bundlekiln {

namespace fs = std::filesystem;

fs::path resolvedProject(const fs::path& project) {
    std::error_code error;
    if (fs::is_directory(project, error)) {
        fs::path resolved = fs::canonical(project, error);
        return error ? project : resolved;
    }
    const fs::path folder = fs::canonical(project.parent_path(), error);
    return error ? project : folder / project.filename();
}

fs::path sourceFolder(const fs::path& project) {
    std::error_code error;
    if (fs::is_directory(project, error)) return project;
    return project.parent_path();
}

namespace {

// Resolves every link that exists; a part that does not exist yet (an output
// folder still to be made) is appended as written.
std::string resolvedPath(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path), error);
    if (error) resolved = fs::absolute(path).lexically_normal();
    std::string text = resolved.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

bool existsFollowingLinks(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

} // namespace

void refuseOutputInsideSource(const fs::path& source, const fs::path& output) {
    const std::string sourcePath = resolvedPath(source);
    const std::string outputPath = resolvedPath(output);
    const std::string prefix = sourcePath == "/" ? sourcePath : sourcePath + "/";
    if (outputPath == sourcePath || outputPath.starts_with(prefix))
        throw BuilderError(
            "Choose an output folder outside the source project to avoid copying builds into themselves.");
}

void refuseExistingOutputs(const BuildOptions& options) {
    const fs::path& output = options.outputDirectory();
    const bool exists = existsFollowingLinks(output / (options.name() + ".app")) ||
                        (options.zip && existsFollowingLinks(output / (options.name() + ".zip"))) ||
                        (options.dmg() && existsFollowingLinks(output / (options.name() + ".dmg")));
    if (exists) throw BuilderError(outputExistsMessage);
}

} // namespace bundlekiln
