#include "codesign_verify.h"

#include <sys/xattr.h>

#include <iostream>
#include <string>
#include <vector>

#include "code_seal.h"
#include "file_digest.h"
#include "tool_failure.h"
#include "tree_walk.h"

namespace hosttools {

namespace fs = std::filesystem;

namespace {

struct Problem {
  fs::path item;
  std::string reason;
  std::vector<std::string> details;
};

std::optional<std::string> recordedDigest(const fs::path& file) {
  std::string value(4096, '\0');
  const ssize_t size = ::lgetxattr(file.c_str(), kSignatureAttribute, value.data(), value.size());
  if (size < 0) return std::nullopt;
  value.resize(static_cast<std::size_t>(size));
  return value.substr(value.rfind('\n') + 1);
}

// A link may only point at something inside the bundle.
bool leavesBundle(const fs::path& link, const fs::path& top) {
  const fs::path target = fs::read_symlink(link);
  if (target.is_absolute()) return true;
  const fs::path resolved = (link.parent_path() / target).lexically_normal();
  const auto relative = resolved.lexically_relative(top.lexically_normal());
  return relative.empty() || *relative.begin() == "..";
}

void checkBundle(const fs::path& bundle, BundleReader& reader, std::vector<Problem>& problems) {
  auto differences = sealDifferences(bundle, reader);
  if (!differences) return problems.push_back({bundle, "code object is not signed at all", {}});
  if (!differences->empty())
    problems.push_back({bundle, "a sealed resource is missing or invalid", std::move(*differences)});
}

void checkFile(const fs::path& file, std::vector<Problem>& problems) {
  const auto digest = recordedDigest(file);
  if (digest && *digest != pagedDigestOfFile(file)) problems.push_back({file, "invalid signature (code or signature have been modified)", {}});
}

void print(const Problem& problem, const fs::path& top) {
  std::cerr << top.string() << ": " << problem.reason << '\n';
  if (problem.item != top) std::cerr << "In subcomponent: " << problem.item.string() << '\n';
  for (const auto& line : problem.details) std::cerr << line << '\n';
}

}  // namespace

int verifyDeepStrict(const fs::path& top) {
  if (!fs::exists(fs::symlink_status(top))) throw ToolFailure(top.string() + ": No such file or directory");
  std::vector<Problem> problems;
  BundleReader reader(top);
  checkBundle(top, reader, problems);
  walkTree(top, [&](const fs::path& path, const struct stat& status) {
    if (path == top) return;
    if (S_ISLNK(status.st_mode) && leavesBundle(path, top))
      problems.push_back({path, "invalid destination for symbolic link in bundle", {}});
    else if (isBundleFolder(path, status)) checkBundle(path, reader, problems);
    else if (S_ISREG(status.st_mode)) checkFile(path, problems);
  });
  for (const auto& problem : problems) print(problem, top);
  return problems.empty() ? 0 : 1;
}

}  // namespace hosttools
