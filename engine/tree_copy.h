#pragma once

#include "folder.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace bundlekiln {

/// How deep a copied tree may nest, and what a refusal calls the tree. A
/// project lies three folders down in the app (Contents/Resources/app.nw),
/// and the tools that sign and package an app take trees 256 folders deep.
struct TreeLimit {
    std::size_t depth = 250;
    std::string noun = "The project";
};

/// Copies the folder `source` as `name` into `destination`, where nothing of
/// that name may exist yet. Both trees are walked by descriptors, one
/// component at a time, so a link is copied as a link and never followed, and
/// a folder swapped for a link during the copy cannot redirect it. Modes and
/// modification times are kept; named pipes are re-created rather than read.
/// A folder that is `skip` is left out, so that a copy can never descend into
/// its own destination.
///
/// Throws BuilderError "<noun> nests folders more than <depth> levels deep."
/// for a deeper tree, std::filesystem::filesystem_error on the first other
/// failure (sockets and device files are refused), and BuildInterrupted when
/// the build must stop. What was copied before a failure stays; the caller
/// owns the destination.
void copyTree(const Folder& source, const Folder& destination, const std::string& name,
              const std::filesystem::path& skip = {}, const TreeLimit& limit = {});

/// The same for `source` (a folder or a single file) and a `destination` path,
/// whose parent folders are opened following links.
void copyTree(const std::filesystem::path& source, const std::filesystem::path& destination,
              const std::filesystem::path& skip = {}, const TreeLimit& limit = {});

} // namespace bundlekiln
