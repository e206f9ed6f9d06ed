#pragma once

#include <filesystem>
#include <string_view>

namespace bundlekiln {

/// Moves `from` to `to` without ever replacing anything at `to`. Returns false,
/// moving nothing, when something already exists there, even if it appeared a
/// moment ago. Across file systems the item is copied into a hidden, locked
/// sibling folder of `to` first (links, modes and times kept) and renamed into
/// place only when complete, so a failed or interrupted copy leaves nothing at
/// `to`; a later move into the same folder sweeps such a folder when a killed
/// build left it behind.
///
/// Throws std::filesystem::filesystem_error when the move fails for another reason.
bool moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

/// Whether `name` is that of a hidden folder a cross-file-system move works in.
bool isPartialMoveName(std::string_view name);

} // namespace bundlekiln
