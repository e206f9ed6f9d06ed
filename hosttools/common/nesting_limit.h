#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace hosttools {

/// How many folders deep a tree or an archive may nest below its top, the
/// same bound the engine puts on a project. Real bundles stay far below it,
/// and it keeps every walk to as many open folders and a path of bounded
/// length, however deep a hostile archive nests.
inline constexpr std::size_t kMaximumNesting = 256;

/// Throws ToolFailure "The <kind> <path> nests folders more than 256 levels
/// deep.", naming the top only.
[[noreturn]] void throwTooDeep(std::string_view kind, const std::filesystem::path& path);

} // namespace hosttools
