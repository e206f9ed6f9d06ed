#pragma once

#include <filesystem>

namespace bundlekiln {

/// Copies `source` (a folder or a single file) to `destination`, which must not
/// exist yet. Symbolic links are copied as links and never followed; modes and
/// modification times are kept; named pipes are re-created rather than read.
/// Anything inside the source that is the folder `skip` is left out, so that a
/// copy can never descend into its own destination.
///
/// Throws std::filesystem::filesystem_error on the first failure (sockets and
/// device files are refused), and BuildInterrupted when the build must stop.
/// What was copied before a failure stays; the caller owns the destination.
void copyTree(const std::filesystem::path& source, const std::filesystem::path& destination,
              const std::filesystem::path& skip = {});

} // namespace bundlekiln
