#pragma once

#include <filesystem>

namespace hosttools {

/// Copies `source` (a file, symlink or folder tree) to `destination` the way
/// ditto does: symlinks are copied as symlinks and never followed, modes and
/// access/modification times (to the nanosecond) are kept, missing parents of
/// the destination are created. When the destination is an existing folder,
/// a source folder's *contents* are merged into it and a source file is copied
/// into it under its own name. Existing files in the way are replaced; an
/// existing folder is never replaced by a file.
///
/// Throws ToolFailure naming the path when something cannot be read or
/// written, when the source holds a device, socket or FIFO, or when the
/// destination lies inside the source folder; and ToolFailure "The folder
/// SOURCE nests folders more than 256 levels deep." on meeting a folder
/// nested deeper, with two descriptors open for each level on the way down.
/// A very long path is named by its side's top (shownPath).
void copyTree(const std::filesystem::path& source, const std::filesystem::path& destination);

} // namespace hosttools
