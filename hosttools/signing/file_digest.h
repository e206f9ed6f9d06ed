#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// The SHA-256 of a file's contents as lower-case hexadecimal, read in chunks.
/// Throws ToolFailure naming the file when it cannot be read.
std::string sha256OfFile(const std::filesystem::path& path);

/// The digest a code seal records for the file `name` in the open folder
/// `folder` (AT_FDCWD for a path), as lower-case hexadecimal: the SHA-256 of
/// the SHA-256s of its 1 MiB pages, in order. Pages are hashed on every core,
/// so one large binary does not leave a core idle. Throws like sha256OfFile,
/// naming `path`.
std::string pagedDigestOfFile(int folder, const char* name, const std::filesystem::path& path);

} // namespace hosttools
