#include "project_selection.h"

#include "form_rules.h"

#include <QRegularExpression>
#include <QString>

namespace bundlekiln::app {
namespace {

std::string stringEntry(const Manifest& manifest, const char* key, const std::string& fallback) {
    const auto found = manifest.find(key);
    return found != manifest.end() && found->is_string() ? found->get<std::string>() : fallback;
}

} // namespace

std::filesystem::path withoutTrailingSeparators(const std::filesystem::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

ProjectFields projectFields(const std::filesystem::path& project, const Manifest& manifest) {
    return {
        project.string(),
        stringEntry(manifest, "name", project.stem().string()),
        stringEntry(manifest, "version", "1.0.0"),
    };
}

std::string bundleIdentifier(const std::string& name) {
    // Full Unicode lower-casing first: a few non-ASCII letters (such as the
    // Kelvin sign) become ASCII letters and must survive the filter.
    static const QRegularExpression outsideAlphabet("[^a-z0-9]+");
    QString identifier = QString::fromStdString(trimmed(name)).toLower().remove(outsideAlphabet);
    if (identifier.isEmpty()) identifier = "nwapp";
    return "com.local." + identifier.toStdString();
}

} // namespace bundlekiln::app
