// Writes the user's window settings into the staged project: the manifest's
// window dictionary, and an injected script that carries the settings and the
// window-fit script. package.json and the script are written atomically.
#include "atomic_file.h"
#include "builder_error.h"
#include "kilnsmith.h"
#include "regular_file.h"
#include "utf8.h"
#include "uuid.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

constexpr const char* outsideProjectMessage = "The existing injection script must be inside the project.";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string lowercasedASCII(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

bool hasFrame(const BuildOptions& options) {
    return !options.frameless && !options.closeButton;
}

Manifest windowDictionary(const Manifest& manifest, const BuildOptions& options) {
    const auto existing = manifest.find("window");
    Manifest window = existing != manifest.end() && existing->is_object() ? *existing : Manifest::object();
    window["title"] = hasFrame(options) ? options.name() : " ";
    window["width"] = options.width;
    window["height"] = options.height;
    window["resizable"] = options.resizable;
    window["always_on_top"] = options.alwaysOnTop;
    window["frame"] = hasFrame(options);
    window["fullscreen"] = false;
    window["kiosk"] = false;
    for (const char* limit : {"min_width", "max_width", "min_height", "max_height"}) window.erase(limit);
    if (options.center)
        window["position"] = "center";
    else
        window.erase("position");
    return window;
}

std::string settingsJSON(const BuildOptions& options) {
    const Manifest settings{{"frameless", !hasFrame(options)}, {"auto", options.autoSize},
                            {"hide", options.hideScrollbars},  {"close", options.closeButton},
                            {"center", options.center},        {"resizable", options.resizable}};
    return settings.dump();
}

std::string withoutTrailingSlashes(std::string text) {
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

/// The project's own script path, resolved textually inside `folder` and
/// returned relative to it. Throws when it leaves the folder or names the
/// folder itself.
fs::path previousScriptPath(const fs::path& folder, const std::string& value) {
    const fs::path relative = value.substr(std::min(value.find_first_not_of('/'), value.size()));
    const std::string resolved = withoutTrailingSlashes((folder / relative).lexically_normal().string());
    const std::string prefix = withoutTrailingSlashes(folder.lexically_normal().string()) + "/";
    if (!resolved.starts_with(prefix)) throw BuilderError(outsideProjectMessage);
    return resolved.substr(prefix.size());
}

/// Reads the script beneath the staged project without following any link:
/// a link, wherever it points now, may lead out of the project.
std::string readScriptBeneath(const Folder& project, const fs::path& relative) {
    try {
        const Folder parent = project.folder(relative.parent_path());
        const std::string name = relative.filename().string();
        struct stat status {};
        if (fstatat(parent.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
            throw BuilderError(outsideProjectMessage);
        return readRegularFile(parent.fd(), name, "The existing injection script", project.path() / relative);
    } catch (const fs::filesystem_error& error) {
        if (error.code() == std::errc::too_many_symbolic_link_levels)
            throw BuilderError(outsideProjectMessage);
        throw;
    }
}

std::string readUTF8Text(const Folder& project, const fs::path& relative) {
    std::string text = readScriptBeneath(project, relative);
    if (!isValidUTF8(text))
        throw fs::filesystem_error("Could not read", project.path() / relative,
                                   std::make_error_code(std::errc::illegal_byte_sequence));
    // The injected script is written without a byte-order mark.
    if (text.starts_with(byteOrderMark)) text.erase(0, byteOrderMark.size());
    return text;
}

/// The text of the script the project already injects, followed by the
/// separator, or nothing when the manifest names none.
std::string previousScriptText(const Manifest& manifest, const Folder& folder) {
    const auto entry = manifest.find("inject_js_end");
    if (entry == manifest.end() || !entry->is_string() || entry->get<std::string>().empty()) return "";
    return readUTF8Text(folder, previousScriptPath(folder.path(), entry->get<std::string>())) + "\n;\n";
}

} // namespace

void Kilnsmith::configureProject(Manifest& manifest, const Folder& folder,
                                 const BuildOptions& options) const {
    manifest["name"] = lowercasedASCII(options.bundleID());
    manifest["version"] = options.version();
    manifest["window"] = windowDictionary(manifest, options);
    const std::string settings = settingsJSON(options);
    const std::string scriptName = "bundlekiln-" + randomUUID() + ".js";
    const std::string script = previousScriptText(manifest, folder) +
                               "(() => { const settings = " + settings + ";\n" + std::string(fitScript) +
                               "\n})();\n";
    writeFileAtomically(folder, scriptName, script);
    manifest["inject_js_end"] = scriptName;
    writeFileAtomically(folder, "package.json", manifest.dump(2) + "\n");
}

} // namespace bundlekiln
