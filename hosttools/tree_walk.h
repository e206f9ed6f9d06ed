#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>

namespace hosttools {

/// Receives each path of a walk with its lstat() result.
using TreeVisitor = std::function<void(const std::filesystem::path&, const struct stat&)>;

/// Calls `visit` for `root` and, when root is a real directory, for every
/// entry below it: parents before their children, children in name order,
/// symlinks reported but never followed. Throws ToolFailure naming the path
/// when root is missing or a directory cannot be listed.
void walkTree(const std::filesystem::path& root, const TreeVisitor& visit);

}  // namespace hosttools
