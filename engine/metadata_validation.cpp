// Checks every setting that is not a location before anything is written, so
// that a build which would fail after minutes of work fails at once.
#include "builder_error.h"
#include "kilnsmith.h"
#include "tool_runner.h"
#include "utf8.h"

#include <algorithm>
#include <string_view>

namespace bundlekiln {
namespace {

bool isWindowSize(std::int64_t pixels) {
    return pixels >= 100 && pixels <= 16000;
}

/// White space and line breaks as the platform's character set has them:
/// the Unicode separators, tab to carriage return, and next-line.
bool isWhitespaceOrLineBreak(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

/// The code point starting at `at` in well-formed UTF-8 (advanced past it).
char32_t nextCodePoint(const std::string& text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra ? lead & (0x3F >> extra) : lead;
    for (int i = 0; i < extra; ++i) code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
    return code;
}

/// Whether nothing is left of well-formed UTF-8 once white space and line
/// breaks are trimmed.
bool isBlank(const std::string& text) {
    for (std::size_t at = 0; at < text.size();)
        if (!isWhitespaceOrLineBreak(nextCodePoint(text, at))) return false;
    return true;
}

bool isControlCharacter(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The name becomes the file names NAME.app, NAME.zip and NAME.dmg, which may
// hold at most 255 bytes each.
constexpr std::size_t longestName = 255 - 4;

/// Whether the name can become a file name and a line of the build's output.
bool isValidName(const std::string& name) {
    if (name.size() > longestName || !isValidUTF8(name)) return false;
    if (std::any_of(name.begin(), name.end(), isControlCharacter)) return false;
    if (isBlank(name)) return false;
    if (name.find_first_of("/:") != std::string::npos) return false;
    return name != "." && name != "..";
}

/// Whether `text` is one or more `label`s separated by single dots, with
/// between `fewest` and `most` labels. A loop rather than std::regex, whose
/// recursive matcher overflows the stack on a long entry.
template <typename IsLabelCharacter>
bool isDottedLabels(std::string_view text, std::size_t fewest, std::size_t most,
                    IsLabelCharacter isLabelCharacter) {
    std::size_t labels = 0;
    while (true) {
        const auto dot = std::min(text.find('.'), text.size());
        const std::string_view label = text.substr(0, dot);
        if (label.empty() || !std::all_of(label.begin(), label.end(), isLabelCharacter)) return false;
        if (++labels > most) return false;
        if (dot == text.size()) return labels >= fewest;
        text.remove_prefix(dot + 1);
    }
}

bool isASCIIDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isASCIILetterDigitOrHyphen(char c) {
    return isASCIIDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
}

/// "^[0-9]+(\.[0-9]+){0,3}$": one to four dot-separated runs of digits.
bool isValidVersion(const std::string& version) {
    return isDottedLabels(version, 1, 4, isASCIIDigit);
}

/// "^[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$": two or more dot-separated labels.
bool isValidBundleID(const std::string& bundleID) {
    return isDottedLabels(bundleID, 2, std::string_view::npos, isASCIILetterDigitOrHyphen);
}

void checkSigningIdentity(const std::string& identity) {
    const std::string listing = run("/usr/bin/security", {"find-identity", "-v", "-p", "codesigning"});
    if (listing.find(identity) != std::string::npos &&
        listing.find("Developer ID Application") != std::string::npos)
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
    if (!isValidVersion(options.version())) throw BuilderError("Version must look like 1.0 or 1.2.3.");
    if (!isValidBundleID(options.bundleID()))
        throw BuilderError("Bundle ID must look like com.example.myapp.");
}

} // namespace bundlekiln
