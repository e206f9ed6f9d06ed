#include "build_form.h"

#include "whole_number.h"

namespace bundlekiln::app {
namespace {

std::string text(const FormValues& form, const std::string& key) {
    return trimmed(form.texts.at(key));
}

bool on(const FormValues& form, const std::string& key) {
    return form.checks.at(key);
}

std::filesystem::path path(const FormValues& form, const std::string& key) {
    return std::filesystem::absolute(text(form, key));
}

void setWindowOptions(BuildOptions& options, const FormValues& form) {
    options.autoSize = on(form, "auto");
    options.width = *wholeNumber(text(form, "width"));
    options.height = *wholeNumber(text(form, "height"));
    options.resizable = on(form, "resizable");
    options.center = on(form, "center");
    options.alwaysOnTop = on(form, "top");
    options.hideScrollbars = on(form, "hide");
    options.frameless = on(form, "frameless");
    options.closeButton = on(form, "close");
}

} // namespace

std::string architectureName(std::int64_t index) {
    return index == 0 ? "arm64" : "x64";
}

std::optional<std::string> buildRefusal(const FormValues& form) {
    if (text(form, "project").empty() || text(form, "runtime").empty() || text(form, "output").empty())
        return "Choose the project, matching NW.js runtime, and output folder first.";
    if (!wholeNumber(text(form, "width")) || !wholeNumber(text(form, "height")))
        return "Width and height must be whole numbers.";
    if (on(form, "sign") && text(form, "identity").empty())
        return "Enter your Developer ID Application identity.";
    if (on(form, "notary") && text(form, "profile").empty())
        return "Enter your existing notarytool Keychain profile name.";
    return std::nullopt;
}

BuildOptions buildOptions(const FormValues& form) {
    const std::string icon = text(form, "icon");
    BuildOptions options(path(form, "project"), path(form, "runtime"), path(form, "output"),
                         text(form, "name"), text(form, "version"), text(form, "bundle"),
                         icon.empty() ? std::nullopt : std::optional(path(form, "icon")), on(form, "dmg"));
    options.zip = on(form, "zip");
    setWindowOptions(options, form);
    options.architecture = architectureName(form.architecture);
    options.signingIdentity = on(form, "sign") ? text(form, "identity") : "";
    options.notaryProfile = on(form, "notary") ? text(form, "profile") : "";
    return options;
}

} // namespace bundlekiln::app
