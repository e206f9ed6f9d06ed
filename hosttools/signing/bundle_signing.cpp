#include "signing/bundle_signing.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <algorithm>
#include <vector>

#include "common/confined_folder.h"
#include "common/tool_failure.h"
#include "common/tree_walk.h"
#include "posix/unique_fd.h"
#include "signing/bundle_link_check.h"
#include "signing/code_seal.h"
#include "signing/codesign_verify.h"
#include "signing/file_digest.h"
#include "signing/keychain_file.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

bool isBundle(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && isBundleFolder(path, status);
}

std::string recordText(const SigningRecord& record, const std::string& digest) {
    return record.identity + "\n" + (record.hardenedRuntime ? "runtime" : "") + "\n" +
           record.entitlementsDigest + "\n" + digest;
}

// The record goes onto the file reached from its outermost bundle, never through a link.
void signFile(const fs::path& file, const SigningRecord& record) {
    const posix::UniqueFd folder = openTargetFolder(file);
    const std::string name = file.filename().string();
    const std::string text = recordText(record, pagedDigestOfFile(folder.get(), name.c_str(), file));
    const posix::UniqueFd item(
        ::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!item.valid() || ::fsetxattr(item.get(), kSignatureAttribute, text.data(), text.size(), 0) != 0)
        throwErrno("Could not record the signature of", file);
}

// Signing refuses what verifying would: no seal may cover a link that leads out of the bundle.
void refuseLinksLeaving(const fs::path& bundle) {
    walkTree(bundle, [&](const TreeEntry& entry) {
        if (S_ISLNK(entry.status.st_mode) && entry.depth > 0 && linkLeavesBundle(entry))
            throw ToolFailure("", entry.path, ": " + std::string(kLinkLeavesBundle));
    });
}

// The bundles inside `top`, deepest first, so that each seal covers the seals within.
std::vector<fs::path> nestedBundles(const fs::path& top) {
    std::vector<fs::path> bundles;
    walkTree(top, [&](const TreeEntry& entry) {
        if (entry.depth > 0 && isBundleFolder(entry.path, entry.status)) bundles.push_back(entry.path);
    });
    std::stable_sort(bundles.begin(), bundles.end(), [](const fs::path& a, const fs::path& b) {
        return std::distance(a.begin(), a.end()) > std::distance(b.begin(), b.end());
    });
    return bundles;
}

void requireItem(const fs::path& item) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(item, error)))
        throw ToolFailure(item.string() + ": No such file or directory");
}

} // namespace

void signAdHocDeep(const fs::path& top) {
    requireItem(top);
    if (!isBundle(top)) throw ToolFailure(top.string() + ": --deep needs a bundle");
    refuseLinksLeaving(top);
    const SigningRecord record{"-", false, false, ""};
    BundleReader reader(top);
    for (const fs::path& bundle : nestedBundles(top)) writeSeal(bundle, record, reader);
    writeSeal(top, record, reader);
}

void signWithIdentity(const std::string& identity, const fs::path& entitlements, const fs::path& item) {
    requireItem(item);
    if (!fs::is_regular_file(entitlements))
        throw ToolFailure(entitlements.string() + ": cannot read entitlement data");
    // The signature names the certificate itself, however the caller named it.
    const std::string name = resolveIdentityName(readKeychain(keychainPath()), identity);
    const SigningRecord record{name, true, true, sha256OfFile(entitlements)};
    BundleReader reader(item);
    if (isBundle(item)) {
        refuseLinksLeaving(item);
        writeSeal(item, record, reader);
    } else if (fs::is_regular_file(fs::symlink_status(item)))
        signFile(item, record);
    else
        throw ToolFailure(item.string() + ": bundle format unrecognized, invalid, or unsuitable");
}

} // namespace hosttools
