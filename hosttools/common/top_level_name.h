#pragma once

#include <filesystem>
#include <string_view>

namespace hosttools {

/// The name `source` goes by at the top of an archive or image: its own last
/// name, even when it is given as "." or with a trailing separator. Throws
/// ToolFailure "Could not <action> <source>: ..." for "/", which has none.
std::filesystem::path topLevelName(const std::filesystem::path& source, std::string_view action);

} // namespace hosttools
