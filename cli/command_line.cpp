#include "command_line.h"

#include "whole_number.h"

#include <algorithm>

namespace bundlekiln::cli {

bool hasFlag(const Arguments& arguments, const std::string& flag) {
    return std::find(arguments.begin(), arguments.end(), flag) != arguments.end();
}

std::optional<std::string> optionValue(const Arguments& arguments, const std::string& option) {
    const auto found = std::find(arguments.begin(), arguments.end(), option);
    if (found == arguments.end() || std::next(found) == arguments.end()) return std::nullopt;
    return *std::next(found);
}

std::int64_t strictInteger(const std::string& text) {
    return wholeNumber(text).value_or(0);
}

std::filesystem::path absolutePath(const std::string& text) {
    std::string path = std::filesystem::absolute(text.empty() ? "." : text).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

namespace {

std::optional<std::filesystem::path> optionalPath(const Arguments& arguments, const std::string& option) {
    if (auto value = optionValue(arguments, option)) return absolutePath(*value);
    return std::nullopt;
}

void setWindowOptions(BuildOptions& options, const Arguments& arguments) {
    options.autoSize = !hasFlag(arguments, "--manual");
    options.width = strictInteger(optionValue(arguments, "--width").value_or("900"));
    options.height = strictInteger(optionValue(arguments, "--height").value_or("700"));
    options.resizable = !hasFlag(arguments, "--fixed");
    options.center = !hasFlag(arguments, "--no-center");
    options.alwaysOnTop = hasFlag(arguments, "--always-on-top");
    options.hideScrollbars = !hasFlag(arguments, "--show-scrollbars");
    options.frameless = hasFlag(arguments, "--frameless");
    options.closeButton = hasFlag(arguments, "--close-button");
}

} // namespace

std::optional<BuildOptions> buildOptions(const Arguments& arguments) {
    const auto project = optionValue(arguments, "--project");
    const auto runtime = optionValue(arguments, "--runtime");
    const auto output = optionValue(arguments, "--output");
    const auto name = optionValue(arguments, "--name");
    if (!project || !runtime || !output || !name) return std::nullopt;
    BuildOptions options(absolutePath(*project), absolutePath(*runtime), absolutePath(*output), *name,
                         optionValue(arguments, "--version").value_or("1.0.0"),
                         optionValue(arguments, "--bundle-id").value_or("com.local.nwapp"),
                         optionalPath(arguments, "--icon"), hasFlag(arguments, "--dmg"));
    options.zip = hasFlag(arguments, "--zip");
    setWindowOptions(options, arguments);
    options.architecture = optionValue(arguments, "--arch").value_or("arm64");
    options.signingIdentity = optionValue(arguments, "--sign").value_or("");
    options.notaryProfile = optionValue(arguments, "--notary-profile").value_or("");
    return options;
}

} // namespace bundlekiln::cli
