#pragma once

#include "posix/unique_fd.h"

#include <filesystem>
#include <string>

namespace bundlekiln {

/// Opens the regular file `name` in the folder `folder` (a descriptor, or
/// AT_FDCWD with a whole path) for reading, without blocking and without
/// following a link in its last component, so that a named pipe or a device
/// can never stall or steer the build. Throws BuilderError "<noun> is not a
/// regular file." for a pipe, socket, device or symbolic link; a folder fails
/// with EISDIR as std::filesystem::filesystem_error naming `path`, as does any
/// other open error.
posix::UniqueFd openRegularFile(int folder, const std::filesystem::path& name, const std::string& noun,
                                const std::filesystem::path& path);

/// The whole content of a regular file opened as above.
std::string readRegularFile(int folder, const std::filesystem::path& name, const std::string& noun,
                            const std::filesystem::path& path);

/// The whole content of the regular file at `path`; links in the path are
/// followed except in its last component.
std::string readRegularFile(const std::filesystem::path& path, const std::string& noun);

/// Everything left to read from `fd`; read errors are thrown naming `path`.
std::string readAll(int fd, const std::filesystem::path& path);

} // namespace bundlekiln
