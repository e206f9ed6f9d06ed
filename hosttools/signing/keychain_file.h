#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hosttools {

/// A code-signing identity: the certificate's SHA-1 fingerprint (40
/// upper-case hexadecimal digits) and its name.
struct SigningIdentity {
    std::string fingerprint;
    std::string name;
};

/// The stand-in keychain file: $BUNDLEKILN_KEYCHAIN when set, otherwise
/// "bundlekiln/keychain" under $XDG_CONFIG_HOME (default ~/.config).
std::filesystem::path keychainPath();

/// The identities of the keychain file, one per line as "FINGERPRINT NAME"
/// or just "NAME" (its fingerprint is then the SHA-1 of the name); blank
/// lines and lines starting with "#" are passed over. A missing file holds
/// no identities. Throws ToolFailure for an unreadable file or a malformed line.
std::vector<SigningIdentity> readKeychain(const std::filesystem::path& path);

/// The name of the one identity that `identity` names, as codesign reads it:
/// a fingerprint (any case) or a part of the name. An identity that names none
/// is returned as given; one that names several different identities throws
/// ToolFailure ("IDENTITY: ambiguous").
std::string resolveIdentityName(const std::vector<SigningIdentity>& identities, const std::string& identity);

/// The identities as `security find-identity -v` lists them: one numbered
/// line each, "  1) FINGERPRINT "NAME"", then the count of valid identities.
std::string identityListing(const std::vector<SigningIdentity>& identities);

} // namespace hosttools
