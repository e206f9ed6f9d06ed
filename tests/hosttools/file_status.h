#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace hosttools_test {

/// lstat() of `path`; fails the test (and returns zeros) when it is missing.
struct stat statusOf(const std::filesystem::path& path);

/// Sets the modification time of `path` (not following a symlink) to an odd
/// nanosecond value, so that a copy which rounds to seconds shows.
void setOddModificationTime(const std::filesystem::path& path, long seconds);

/// Succeeds when both paths have equal type and permission bits and
/// modification times to the nanosecond.
testing::AssertionResult sameModeAndTime(const std::filesystem::path& left,
                                         const std::filesystem::path& right);

} // namespace hosttools_test
