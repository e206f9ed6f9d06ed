#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace posix {

/// Throws Failure(action, path, error as a std::error_code), so that every
/// caller words a failed call the same way: "Could not open", the path, and
/// the system's reason. The engine lets std::filesystem::filesystem_error
/// through; the stand-ins throw their own ToolFailure, built from the same
/// three parts.
template <typename Failure = std::filesystem::filesystem_error>
[[noreturn]] void throwFileError(std::string_view action, const std::filesystem::path& path, int error) {
    throw Failure(std::string(action), path, std::error_code(error, std::generic_category()));
}

} // namespace posix
