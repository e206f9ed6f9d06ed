#pragma once

#include "folder.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace bundlekiln {

/// Replaces (or creates) the file `name` in `folder` with `contents` so that
/// readers see either the old file, or no file, or the complete new one, never
/// a part: the text goes to a temporary file in the same folder, is flushed to
/// disk, and is renamed over `name` (a link of that name is replaced, never
/// written through). The file gets mode 0644. Throws
/// std::filesystem::filesystem_error with the system's reason when any step
/// fails; the temporary file is then removed and `name` is left as it was.
void writeFileAtomically(const Folder& folder, const std::string& name, std::string_view contents);

/// The same for a whole path, whose folder is opened following links.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

} // namespace bundlekiln
