#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <functional>

namespace hosttools {

/// One entry of a walk as the visitor sees it. `folder` and `name` reach it
/// without following a link and whatever the length of its path.
struct TreeEntry {
    const std::filesystem::path& path; // the root's path joined with the names below it
    int folder;                        // the open folder holding it; AT_FDCWD for the root
    const char* name;                  // its name in `folder`; the root's path for the root
    const struct stat& status;         // its lstat()
    std::size_t depth;                 // 0 for the root, 1 for what the root holds, and so on
};

using TreeVisitor = std::function<void(const TreeEntry&)>;

/// Calls `visit` for `root` and, when root is a real folder, for every entry
/// below it: parents before their children, children in name order, links
/// reported but never followed. Each folder is opened from its parent without
/// following a link, and only the folders on the way down are open at once.
/// Throws ToolFailure "The folder ROOT nests folders more than 256 levels
/// deep." before visiting a folder nested deeper, and ToolFailure naming the
/// path when root is missing or a folder cannot be listed. A failure, the
/// visitor's included, names a very long path by the root (shownPath).
void walkTree(const std::filesystem::path& root, const TreeVisitor& visit);

} // namespace hosttools
