// Checks every setting that is not a location before anything is written, so
// that a build which would fail after minutes of work fails at once.
#include "builder_error.h"
#include "kilnsmith.h"
#include "tool_runner.h"

#include <regex>

namespace bundlekiln {
namespace {

bool isWindowSize(std::int64_t pixels) { return pixels >= 100 && pixels <= 16000; }

std::string trimmed(const std::string& text) {
    // White space and line breaks, as the platform's character set has them.
    static const char* const blanks = " \t\n\r\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isValidName(const std::string& name) {
    if (trimmed(name).empty()) return false;
    if (name.find_first_of("/:") != std::string::npos) return false;
    return name != "." && name != "..";
}

void checkSigningIdentity(const std::string& identity) {
    const std::string listing = run("/usr/bin/security", {"find-identity", "-v", "-p", "codesigning"});
    if (listing.find(identity) != std::string::npos && listing.find("Developer ID Application") != std::string::npos)
        return;
    throw BuilderError("The signing identity was not found in the login Keychain. "
                       "Use your Developer ID Application certificate name or SHA-1 fingerprint.");
}

void checkNotarizationTools() {
    run("/usr/bin/xcrun", {"--find", "notarytool"});
    run("/usr/bin/xcrun", {"--find", "stapler"});
}

} // namespace

void Kilnsmith::validateMetadata(const BuildOptions& options) const {
    static const std::regex versionPattern(R"(^[0-9]+(\.[0-9]+){0,3}$)");
    static const std::regex bundleIDPattern(R"(^[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$)");
    if (options.architecture != "arm64" && options.architecture != "x64")
        throw BuilderError("Architecture must be arm64 or x64.");
    if (!isWindowSize(options.width) || !isWindowSize(options.height))
        throw BuilderError("Width and height must be between 100 and 16000 pixels.");
    if (options.frameless && options.closeButton) throw BuilderError("Choose only one frameless option.");
    if (!options.notaryProfile.empty() && options.signingIdentity.empty())
        throw BuilderError("Notarization requires a Developer ID signing identity.");
    if (!options.signingIdentity.empty()) checkSigningIdentity(options.signingIdentity);
    if (!options.notaryProfile.empty()) checkNotarizationTools();
    if (!isValidName(options.name())) throw BuilderError("Enter a valid app name.");
    if (!std::regex_match(options.version(), versionPattern))
        throw BuilderError("Version must look like 1.0 or 1.2.3.");
    if (!std::regex_match(options.bundleID(), bundleIDPattern))
        throw BuilderError("Bundle ID must look like com.example.myapp.");
}

} // namespace bundlekiln
