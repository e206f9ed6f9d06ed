#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hosttools {

struct TreeEntry;

/// How an item was signed.
struct SigningRecord {
    std::string identity; // "-" for ad-hoc
    bool hardenedRuntime = false;
    bool timestamp = false;
    std::string entitlementsDigest; // empty without entitlements
};

/// One item a seal covers: its path relative to the bundle, and
/// "file:<digest>", "link:<target>" or "folder".
struct SealEntry {
    std::string path;
    std::string state;
};

/// Whether a folder is a bundle, which carries a seal of its own.
bool isBundleFolder(const std::filesystem::path& path, const struct stat& status);

/// Reads what the bundles of one tree hold (links not followed, their own
/// seals left out), item by item, so that memory does not grow with the
/// number of files. Digests of files inside nested bundles are remembered,
/// as those are read once for each bundle around them.
class BundleReader {
public:
    explicit BundleReader(std::filesystem::path top);

    /// Calls `visit` for each item `bundle` (the top or a bundle inside it)
    /// seals, in walk order.
    void readContents(const std::filesystem::path& bundle,
                      const std::function<void(const SealEntry&)>& visit);

private:
    std::string digestOf(const TreeEntry& file, bool readAgain);

    std::filesystem::path top_;
    std::map<std::filesystem::path, std::string> nestedDigests_;
};

/// Where a bundle's seal lives: Contents/_CodeSignature/CodeResources, or
/// _CodeSignature/CodeResources for a bundle without a Contents entry.
std::filesystem::path sealFile(const std::filesystem::path& bundle);

/// Where a notarization ticket is stapled: Contents/CodeResources. It is
/// added after signing, so no seal covers it.
std::filesystem::path ticketFile(const std::filesystem::path& bundle);

/// Seals `bundle` as it is now, writing the seal as an XML property list
/// (replacing any earlier one) while its contents are read. The seal's
/// folder is reached from the outermost bundle without following a link
/// (openTargetFolder).
void writeSeal(const std::filesystem::path& bundle, const SigningRecord& record, BundleReader& reader);

/// How the bundle was signed, or none when it was never sealed. Throws
/// ToolFailure when the seal file is there but damaged.
std::optional<SigningRecord> readSigningRecord(const std::filesystem::path& bundle);

/// One line per difference between the bundle's seal and the bundle now:
/// "file modified: P" and "file missing: P" in the seal's order, then "file
/// added: P", with full paths. None when the bundle was never sealed.
std::optional<std::vector<std::string>> sealDifferences(const std::filesystem::path& bundle,
                                                        BundleReader& reader);

} // namespace hosttools
