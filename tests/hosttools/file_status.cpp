#include "file_status.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace hosttools_test {

struct stat statusOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

void setOddModificationTime(const std::filesystem::path& path, long seconds) {
    const struct timespec times[2] = {{seconds, 111111111}, {seconds, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

testing::AssertionResult sameModeAndTime(const std::filesystem::path& left,
                                         const std::filesystem::path& right) {
    const auto a = statusOf(left);
    const auto b = statusOf(right);
    if (a.st_mode == b.st_mode && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
        a.st_mtim.tv_nsec == b.st_mtim.tv_nsec) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << std::oct << a.st_mode << " " << std::dec << a.st_mtim.tv_sec << "."
                                       << a.st_mtim.tv_nsec << " vs " << std::oct << b.st_mode << " "
                                       << std::dec << b.st_mtim.tv_sec << "." << b.st_mtim.tv_nsec;
}

} // namespace hosttools_test
