// chflags -R nouchg and xattr -cr clear what Linux has of immutable flags and
// user attributes across a tree, without following symlinks out of it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

int flagsOf(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    if (fd < 0 || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) flags = -1;
    if (fd >= 0) ::close(fd);
    return flags;
}

/// Sets or clears the immutable flag; false when this file system or this
/// process cannot (no CAP_LINUX_IMMUTABLE).
bool setImmutable(const fs::path& path, bool immutable) {
    int flags = flagsOf(path);
    if (flags < 0) return false;
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const bool done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

bool isImmutable(const fs::path& path) {
    return (flagsOf(path) & FS_IMMUTABLE_FL) != 0;
}

TEST(Chflags, ClearsTheImmutableFlagAcrossATreeButNotThroughSymlinks) {
    TempFolder folder;
    writeFile(folder / "tree/sub/file", "data");
    writeFile(folder / "outside", "data");
    fs::create_symlink(folder / "outside", folder / "tree/link");
    for (const auto* relative : {"tree/sub/file", "tree/sub", "outside"}) {
        if (!setImmutable(folder / relative, true)) GTEST_SKIP() << "immutable flags unavailable here";
    }
    const auto result = runTool("chflags", {"-R", "nouchg", (folder / "tree").string()});
    const bool outsideStillImmutable = isImmutable(folder / "outside");
    setImmutable(folder / "outside", false); // so the folder can be removed
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(isImmutable(folder / "tree/sub"));
    EXPECT_FALSE(isImmutable(folder / "tree/sub/file"));
    EXPECT_TRUE(outsideStillImmutable);
}

void setUserAttribute(const fs::path& path) {
    ASSERT_EQ(::setxattr(path.c_str(), "user.com.example.quarantine", "1", 1, 0), 0) << path;
}

bool hasUserAttribute(const fs::path& path) {
    return ::getxattr(path.c_str(), "user.com.example.quarantine", nullptr, 0) >= 0;
}

TEST(Xattr, RemovesUserAttributesAcrossATreeButNotThroughSymlinks) {
    TempFolder folder;
    writeFile(folder / "tree/sub/file", "data");
    writeFile(folder / "outside", "data");
    fs::create_symlink(folder / "outside", folder / "tree/link");
    if (::setxattr(folder.path().c_str(), "user.probe", "1", 1, 0) != 0)
        GTEST_SKIP() << "no user attributes here";
    for (const auto* relative : {"tree", "tree/sub", "tree/sub/file", "outside"})
        setUserAttribute(folder / relative);
    ASSERT_EQ(::setxattr((folder / "tree/sub/file").c_str(), "user.second", "2", 1, 0), 0);
    const auto result = runTool("xattr", {"-cr", (folder / "tree").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    for (const auto* relative : {"tree", "tree/sub", "tree/sub/file"})
        EXPECT_FALSE(hasUserAttribute(folder / relative));
    EXPECT_EQ(::listxattr((folder / "tree/sub/file").c_str(), nullptr, 0), 0);
    EXPECT_TRUE(hasUserAttribute(folder / "outside"));
}

TEST(FlagAndXattr, MissingPathsFailWithTheirName) {
    TempFolder folder;
    const auto missing = (folder / "missing").string();
    for (const auto& result :
         {runTool("chflags", {"-R", "nouchg", missing}), runTool("xattr", {"-cr", missing})}) {
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace hosttools_test
