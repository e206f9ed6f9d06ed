#include "signing/codesign_verify.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/tool_failure.h"
#include "common/tree_walk.h"
#include "posix/unique_fd.h"
#include "signing/bundle_link_check.h"
#include "signing/code_seal.h"
#include "signing/file_digest.h"

namespace hosttools {

namespace fs = std::filesystem;

namespace {

struct Problem {
    fs::path item;
    std::string reason;
    std::vector<std::string> details;
};

std::optional<std::string> recordedDigest(const TreeEntry& entry) {
    const posix::UniqueFd file(
        ::openat(entry.folder, entry.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) throwErrno("Could not open", entry.path);
    std::string value(4096, '\0');
    const ssize_t size = ::fgetxattr(file.get(), kSignatureAttribute, value.data(), value.size());
    if (size < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(size));
    return value.substr(value.rfind('\n') + 1);
}

void checkBundle(const fs::path& bundle, BundleReader& reader, std::vector<Problem>& problems) {
    auto differences = sealDifferences(bundle, reader);
    if (!differences) return problems.push_back({bundle, "code object is not signed at all", {}});
    if (!differences->empty())
        problems.push_back({bundle, "a sealed resource is missing or invalid", std::move(*differences)});
}

void checkFile(const TreeEntry& entry, std::vector<Problem>& problems) {
    const auto digest = recordedDigest(entry);
    if (digest && *digest != pagedDigestOfFile(entry.folder, entry.name, entry.path))
        problems.push_back({entry.path, "invalid signature (code or signature have been modified)", {}});
}

void print(const Problem& problem, const fs::path& top) {
    std::cerr << top.string() << ": " << problem.reason << '\n';
    if (problem.item != top) std::cerr << "In subcomponent: " << shownPath(problem.item, top) << '\n';
    for (const auto& line : problem.details) std::cerr << line << '\n';
}

} // namespace

int verifyDeepStrict(const fs::path& top) {
    if (!fs::exists(fs::symlink_status(top))) throw ToolFailure(top.string() + ": No such file or directory");
    std::vector<Problem> problems;
    BundleReader reader(top);
    checkBundle(top, reader, problems);
    walkTree(top, [&](const TreeEntry& entry) {
        if (entry.depth == 0) return;
        if (S_ISLNK(entry.status.st_mode) && linkLeavesBundle(entry))
            problems.push_back({entry.path, std::string(kLinkLeavesBundle), {}});
        else if (isBundleFolder(entry.path, entry.status))
            checkBundle(entry.path, reader, problems);
        else if (S_ISREG(entry.status.st_mode))
            checkFile(entry, problems);
    });
    for (const auto& problem : problems) print(problem, top);
    return problems.empty() ? 0 : 1;
}

} // namespace hosttools
