#pragma once

#include <filesystem>

namespace hosttools {

/// Copies every byte from `in` (read from its current offset to its end) to
/// `out`, inside the kernel where the file systems allow it and through a
/// small buffer otherwise; a file is never held in memory whole. The paths
/// only name the files in messages. Throws ToolFailure on a read or write error.
void copyFileContents(int in, int out, const std::filesystem::path& source,
                      const std::filesystem::path& destination);

} // namespace hosttools
