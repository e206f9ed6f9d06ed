// Decides whether a project can be packaged, and describes it by a manifest.
#include "builder_error.h"
#include "json_text.h"
#include "kilnsmith.h"
#include "path_extension.h"
#include "regular_file.h"

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

constexpr const char* chooseProjectMessage = "Choose an HTML file or project folder.";

bool isHTML(const fs::path& path) {
    const auto extension = lowercasePathExtension(path);
    return extension == "html" || extension == "htm";
}

Manifest synthesizedManifest(const std::string& name, const std::string& main) {
    return Manifest{{"name", name}, {"main", main}};
}

Manifest validateNWProject(const fs::path& folder) {
    Manifest manifest = parseJSON(readRegularFile(folder / "package.json", "package.json"), "package.json",
                                  maximumManifestDepth);
    if (!manifest.is_object()) throw BuilderError("package.json must contain a JSON object.");
    const auto main = manifest.find("main");
    if (main == manifest.end() || !main->is_string() || main->get<std::string>().empty())
        throw BuilderError("package.json is missing a non-empty \u2018main\u2019 value.");
    const std::string entry = main->get<std::string>();
    if (entry.find("://") != std::string::npos) return manifest;
    const std::string page = entry.substr(0, entry.find_first_of("?#"));
    std::error_code error;
    if (!fs::exists(folder / page, error))
        throw BuilderError("package.json points to \u2018" + entry + "\u2019, but that file is missing.");
    return manifest;
}

std::string chosenPage(const fs::path& folder) {
    std::vector<std::string> pages;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (isHTML(entry.path())) pages.push_back(entry.path().filename().string());
    }
    for (const auto& page : pages) {
        if (lowercased(page) == "index.html") return page;
    }
    if (pages.size() == 1) return pages.front();
    throw BuilderError("This folder needs index.html, a single HTML file, or package.json. "
                       "You can also choose the desired HTML file directly.");
}

} // namespace

Manifest Kilnsmith::validateProject(const fs::path& project) const {
    std::error_code error;
    const auto status = fs::status(project, error);
    if (!fs::exists(status)) throw BuilderError(chooseProjectMessage);
    if (!fs::is_directory(status)) {
        if (!isHTML(project)) throw BuilderError(chooseProjectMessage);
        return synthesizedManifest(project.stem().string(), project.filename().string());
    }
    if (fs::exists(fs::symlink_status(project / "package.json", error))) return validateNWProject(project);
    return synthesizedManifest(project.filename().string(), chosenPage(project));
}

} // namespace bundlekiln
