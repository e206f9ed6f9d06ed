#pragma once

#include <filesystem>
#include <string_view>

namespace bundlekiln {

/// Replaces (or creates) `path` with `contents` so that readers see either the
/// old file, or no file, or the complete new one, never a part: the text goes
/// to a temporary file in the same folder, is flushed to disk, and is renamed
/// over `path`. The file gets mode 0644. Throws std::filesystem::filesystem_error
/// with the system's reason when any step fails; the temporary file is then
/// removed and `path` is left as it was.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

} // namespace bundlekiln
