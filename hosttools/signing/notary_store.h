#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// The stand-in keychain of notarization profiles: a text file with one
/// profile name per line, named by BUNDLEKILN_NOTARY_PROFILES or else
/// notary-profiles in the user's bundlekiln config folder.
std::filesystem::path notaryProfilesFile();

/// Whether `profile` is a line of the profiles file (a missing file holds none).
bool hasNotaryProfile(const std::string& profile);

/// The notary service's memory of what it accepted: the digests of accepted
/// app seals, one a line, in notary-accepted-seals beside the profiles file.
std::filesystem::path acceptedSealsFile();

/// What identifies an app's current signature: the SHA-256 of its seal file.
/// Throws ToolFailure when the app is not sealed.
std::string sealDigest(const std::filesystem::path& app);

void recordAcceptedSeal(const std::string& sealDigest);
bool isAcceptedSeal(const std::string& sealDigest);

} // namespace hosttools
