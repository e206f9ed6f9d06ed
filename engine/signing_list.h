#pragma once

#include <filesystem>
#include <vector>

namespace bundlekiln {

/// The items a Developer ID signature must cover, in signing order: every
/// code bundle (.app, .framework, .xpc by name) and every Mach-O file (by its
/// first four bytes) inside `app`, deepest first with equal depths in the
/// order found, and `app` itself last. Symbolic links are neither listed nor
/// followed. Throws the file system's error when an entry cannot be examined.
std::vector<std::filesystem::path> signingList(const std::filesystem::path& app);

} // namespace bundlekiln
