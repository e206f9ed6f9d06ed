#include "signing/keychain_file.h"

#include <openssl/sha.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "common/tool_failure.h"
#include "posix/hex_text.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFingerprintLength = 40;

std::string sha1Hex(const std::string& text) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return posix::hexText(digest, posix::HexDigits::upper);
}

bool isFingerprint(const std::string& word) {
    if (word.size() != kFingerprintLength) return false;
    for (unsigned char c : word) {
        if (!std::isxdigit(c)) return false;
    }
    return true;
}

std::string upperCased(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

SigningIdentity identityOf(const std::string& line) {
    const auto space = line.find(' ');
    const std::string first = line.substr(0, space);
    if (isFingerprint(first) && space != std::string::npos)
        return {upperCased(first), trimmed(line.substr(space))};
    return {sha1Hex(line), line};
}

} // namespace

fs::path keychainPath() {
    if (const char* explicitPath = std::getenv("BUNDLEKILN_KEYCHAIN")) return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return fs::path(config) / "bundlekiln/keychain";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/") / ".config/bundlekiln/keychain";
}

std::vector<SigningIdentity> readKeychain(const fs::path& path) {
    std::ifstream stream(path);
    if (!stream) {
        if (!fs::exists(path)) return {};
        throw ToolFailure("Could not read the keychain file " + path.string() + ".");
    }
    std::vector<SigningIdentity> identities;
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.find('"') != std::string::npos) {
            throw ToolFailure("Line " + std::to_string(number) + " of the keychain file " + path.string() +
                              " holds a quotation mark, which no identity name may hold.");
        }
        identities.push_back(identityOf(line));
    }
    if (stream.bad()) throw ToolFailure("Could not read the keychain file " + path.string() + ".");
    return identities;
}

std::string identityListing(const std::vector<SigningIdentity>& identities) {
    std::string listing;
    for (std::size_t i = 0; i < identities.size(); ++i)
        listing += "  " + std::to_string(i + 1) + ") " + identities[i].fingerprint + " \"" +
                   identities[i].name + "\"\n";
    return listing + "     " + std::to_string(identities.size()) + " valid identities found\n";
}

std::string resolveIdentityName(const std::vector<SigningIdentity>& identities, const std::string& identity) {
    std::string upper = identity;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    std::string found;
    for (const SigningIdentity& candidate : identities) {
        if (candidate.fingerprint != upper && candidate.name.find(identity) == std::string::npos) continue;
        if (!found.empty() && found != candidate.name) throw ToolFailure(identity + ": ambiguous");
        found = candidate.name;
    }
    return found.empty() ? identity : found;
}

} // namespace hosttools
