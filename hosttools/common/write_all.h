#pragma once

#include <filesystem>
#include <string_view>

namespace hosttools {

/// Writes all of `data` to `fd`, retrying short writes; a failure throws
/// ToolFailure naming `target`.
void writeAll(int fd, std::string_view data, const std::filesystem::path& target);

} // namespace hosttools
