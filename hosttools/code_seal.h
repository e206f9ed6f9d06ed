#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hosttools {

/// How an item was signed.
struct SigningRecord {
  std::string identity;  // "-" for ad-hoc
  bool hardenedRuntime = false;
  bool timestamp = false;
  std::string entitlementsDigest;  // empty without entitlements
};

/// What a bundle held when it was sealed: relative path -> "file:<sha256>",
/// "link:<target>" or "folder".
using SealedContents = std::map<std::string, std::string>;

struct Seal {
  SigningRecord record;
  SealedContents contents;
};

/// Reads a bundle's contents (links not followed, its own seal left out),
/// remembering digests so that nested bundles are read once per run.
class BundleReader {
 public:
  SealedContents contentsOf(const std::filesystem::path& bundle);

 private:
  std::map<std::filesystem::path, std::string> digests_;
};

/// Where a bundle's seal lives: Contents/_CodeSignature/CodeResources, or
/// _CodeSignature/CodeResources for a bundle without a Contents folder.
std::filesystem::path sealFile(const std::filesystem::path& bundle);

/// Where a notarization ticket is stapled: Contents/CodeResources. It is
/// added after signing, so no seal covers it.
std::filesystem::path ticketFile(const std::filesystem::path& bundle);

/// Writes the seal as an XML property list, replacing any earlier one.
void writeSeal(const std::filesystem::path& bundle, const Seal& seal);

/// The bundle's seal, or none when it was never sealed. Throws ToolFailure
/// when the seal file is there but damaged.
std::optional<Seal> readSeal(const std::filesystem::path& bundle);

/// One line per difference between a seal and the bundle now: "file
/// modified: P", "file added: P", "file missing: P" with full paths.
std::vector<std::string> sealDifferences(const std::filesystem::path& bundle, const SealedContents& sealed,
                                         const SealedContents& now);

}  // namespace hosttools
