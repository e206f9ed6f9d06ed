#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// Judges the submitted archive as the notary service would and returns its
/// answer as one JSON object: "id" (a random UUID), "status" ("Accepted" when
/// the archive holds exactly one app at its top level that verifies and is
/// signed with a Developer ID, the hardened runtime and a timestamp;
/// otherwise "Invalid") and "message" (why it is invalid). An accepted app's
/// seal is remembered so that it can be stapled. Throws ToolFailure for an
/// unknown `profile`, before the archive is read, and for a missing archive.
std::string submitForNotarization(const std::filesystem::path& archive, const std::string& profile);

} // namespace hosttools
