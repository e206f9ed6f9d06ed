#pragma once

#include <filesystem>
#include <string_view>

#include "posix/file_error.h"

namespace posix {

/// Writes all of `data` to `fd`, retrying short and interrupted writes.
/// Returns 0, or the errno of the write that failed.
int writeAll(int fd, std::string_view data);

/// The same, throwing Failure "Could not write" `path` (see throwFileError).
template <typename Failure = std::filesystem::filesystem_error>
void writeAll(int fd, std::string_view data, const std::filesystem::path& path) {
    if (const int error = writeAll(fd, data)) throwFileError<Failure>("Could not write", path, error);
}

} // namespace posix
