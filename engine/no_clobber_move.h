#pragma once

#include <filesystem>

namespace bundlekiln {

/// Moves `from` to `to` without ever replacing anything at `to`. Returns false,
/// moving nothing, when something already exists there, even if it appeared a
/// moment ago. Across file systems the item is copied to a hidden sibling of
/// `to` first (links, modes and times kept) and renamed into place only when
/// complete, so a failed or interrupted copy leaves nothing at `to`.
///
/// Throws std::filesystem::filesystem_error when the move fails for another reason.
bool moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace bundlekiln
