// Stand-in for /usr/bin/codesign. It seals bundles with the SHA-256 of every
// file and records how each item was signed; verification re-checks the seals
// and names what changed. It makes no Apple signature.
//
//   codesign --force --deep --sign - PATH
//   codesign --force --sign IDENTITY --timestamp --options runtime --entitlements FILE PATH
//   codesign --verify --deep --strict PATH

#include <fcntl.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

#include "bundle_link_check.h"
#include "code_seal.h"
#include "codesign_verify.h"
#include "confined_folder.h"
#include "file_digest.h"
#include "tool_failure.h"
#include "tree_walk.h"
#include "unique_fd.h"
#include "usage.h"

namespace {

namespace fs = std::filesystem;
using hosttools::SigningRecord;
using hosttools::ToolFailure;

constexpr const char* kUsage =
    "codesign --force --deep --sign - PATH | codesign --force --sign IDENTITY --timestamp --options runtime "
    "--entitlements FILE PATH | codesign --verify --deep --strict PATH";

bool isBundle(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && hosttools::isBundleFolder(path, status);
}

std::string recordText(const SigningRecord& record, const std::string& digest) {
    return record.identity + "\n" + (record.hardenedRuntime ? "runtime" : "") + "\n" +
           record.entitlementsDigest + "\n" + digest;
}

// The record goes onto the file reached from its outermost bundle, never through a link.
void signFile(const fs::path& file, const SigningRecord& record) {
    const hosttools::UniqueFd folder = hosttools::openTargetFolder(file);
    const std::string name = file.filename().string();
    const std::string text =
        recordText(record, hosttools::pagedDigestOfFile(folder.get(), name.c_str(), file));
    const hosttools::UniqueFd item(
        ::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!item.valid() ||
        ::fsetxattr(item.get(), hosttools::kSignatureAttribute, text.data(), text.size(), 0) != 0)
        hosttools::throwErrno("Could not record the signature of", file);
}

// Signing refuses what verifying would: no seal may cover a link that leads out of the bundle.
void refuseLinksLeaving(const fs::path& bundle) {
    hosttools::walkTree(bundle, [&](const hosttools::TreeEntry& entry) {
        if (S_ISLNK(entry.status.st_mode) && entry.depth > 0 && hosttools::linkLeavesBundle(entry))
            throw ToolFailure("", entry.path, ": " + std::string(hosttools::kLinkLeavesBundle));
    });
}

// The bundles inside `top`, deepest first, so that each seal covers the seals within.
std::vector<fs::path> nestedBundles(const fs::path& top) {
    std::vector<fs::path> bundles;
    hosttools::walkTree(top, [&](const hosttools::TreeEntry& entry) {
        if (entry.depth > 0 && hosttools::isBundleFolder(entry.path, entry.status))
            bundles.push_back(entry.path);
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

int signAdHocDeep(const fs::path& top) {
    requireItem(top);
    if (!isBundle(top)) throw ToolFailure(top.string() + ": --deep needs a bundle");
    refuseLinksLeaving(top);
    const SigningRecord record{"-", false, false, ""};
    hosttools::BundleReader reader(top);
    for (const fs::path& bundle : nestedBundles(top)) hosttools::writeSeal(bundle, record, reader);
    hosttools::writeSeal(top, record, reader);
    return 0;
}

int signWithIdentity(const std::string& identity, const fs::path& entitlements, const fs::path& item) {
    requireItem(item);
    if (!fs::is_regular_file(entitlements))
        throw ToolFailure(entitlements.string() + ": cannot read entitlement data");
    const SigningRecord record{identity, true, true, hosttools::sha256OfFile(entitlements)};
    hosttools::BundleReader reader(item);
    if (isBundle(item)) {
        refuseLinksLeaving(item);
        hosttools::writeSeal(item, record, reader);
    } else if (fs::is_regular_file(fs::symlink_status(item)))
        signFile(item, record);
    else
        throw ToolFailure(item.string() + ": bundle format unrecognized, invalid, or unsuitable");
    return 0;
}

// "Demo.app/" names the bundle Demo.app, as it does for the shell; its name decides whether it is a bundle.
fs::path itemPath(std::string_view argument) {
    fs::path path(argument);
    while (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

int dispatch(const std::vector<std::string_view>& args) {
    if (args.size() == 5 && args[0] == "--force" && args[1] == "--deep" && args[2] == "--sign" &&
        args[3] == "-")
        return signAdHocDeep(itemPath(args[4]));
    if (args.size() == 9 && args[0] == "--force" && args[1] == "--sign" && args[3] == "--timestamp" &&
        args[4] == "--options" && args[5] == "runtime" && args[6] == "--entitlements")
        return signWithIdentity(std::string(args[2]), fs::path(args[7]), itemPath(args[8]));
    if (args.size() == 4 && args[0] == "--verify" && args[1] == "--deep" && args[2] == "--strict")
        return hosttools::verifyDeepStrict(itemPath(args[3]));
    hosttools::exitWithUsage(kUsage);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return hosttools::runTool("codesign", [&] { return dispatch(args); });
}
