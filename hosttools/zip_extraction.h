#pragma once

#include <filesystem>

namespace hosttools {

/// Extracts the PKZip archive `archive` into `directory` (created with its
/// parents when missing), streaming each entry and keeping folders, symlinks,
/// modes and times.
///
/// Refuses, and stops at, any entry that would land outside `directory`: an
/// absolute name, a `..` component, or a path through a symlink on disk (such
/// as one an earlier entry made). Throws ToolFailure naming the archive and
/// the entry on such an entry, on damage, or when the file is missing or is
/// not a PKZip archive. What was extracted before the failure stays.
void extractZip(const std::filesystem::path& archive, const std::filesystem::path& directory);

}  // namespace hosttools
