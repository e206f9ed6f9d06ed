#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// The SHA-256 of a file's contents as lower-case hexadecimal, read in chunks.
/// Throws ToolFailure naming the file when it cannot be read.
std::string sha256OfFile(const std::filesystem::path& path);

}  // namespace hosttools
