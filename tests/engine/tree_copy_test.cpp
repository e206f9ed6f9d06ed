#include "no_clobber_move.h"
#include "staging_folder.h"
#include "temporary_folder.h"
#include "tree_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace bundlekiln {
namespace {

using testing::modeOf;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;
namespace fs = std::filesystem;

void makeSampleTree(const fs::path& root) {
    writeFile(root / "index.html", "<html>");
    writeFile(root / "bin/tool", "#!/bin/sh\n", 0755);
    writeFile(root / "secret", "s", 0600);
    writeFile(root / "locked/inside", "i", 0444);
    fs::permissions(root / "locked", static_cast<fs::perms>(0555), fs::perm_options::replace);
    fs::create_symlink("index.html", root / "link");
    fs::create_symlink("nowhere", root / "dangling");
    fs::create_directory_symlink("bin", root / "binlink");
    mkfifo((root / "pipe").c_str(), 0640);
    const struct timespec old[2] = {{1000000, 5}, {1000000, 5}};
    utimensat(AT_FDCWD, (root / "index.html").c_str(), old, 0);
}

void expectSampleTree(const fs::path& root) {
    EXPECT_EQ(readFile(root / "index.html"), "<html>");
    EXPECT_EQ(modeOf(root / "bin/tool"), 0755u);
    EXPECT_EQ(modeOf(root / "secret"), 0600u);
    EXPECT_EQ(modeOf(root / "locked"), 0555u);
    EXPECT_EQ(readFile(root / "locked/inside"), "i");
    EXPECT_EQ(fs::read_symlink(root / "link"), "index.html");
    EXPECT_EQ(fs::read_symlink(root / "dangling"), "nowhere");
    EXPECT_TRUE(fs::is_symlink(root / "binlink"));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(root / "pipe")));
    struct stat status {};
    stat((root / "index.html").c_str(), &status);
    EXPECT_EQ(status.st_mtim.tv_sec, 1000000);
    EXPECT_EQ(status.st_mtim.tv_nsec, 5);
}

void unlock(const fs::path& root) {
    std::error_code ignored;
    fs::permissions(root / "locked", fs::perms::owner_all, fs::perm_options::add, ignored);
}

TEST(TreeCopy, KeepsLinksModesTimesAndPipes) {
    TemporaryFolder folder;
    makeSampleTree(folder / "source");
    copyTree(folder / "source", folder / "copy");
    expectSampleTree(folder / "copy");
    unlock(folder / "source");
    unlock(folder / "copy");
}

TEST(TreeCopy, LeavesOutTheFolderToSkip) {
    TemporaryFolder folder;
    writeFile(folder / "source/page.html", "");
    writeFile(folder / "source/staging/partial", "");
    copyTree(folder / "source", folder / "source/staging/copy", folder / "source/staging");
    EXPECT_TRUE(fs::exists(folder / "source/staging/copy/page.html"));
    EXPECT_FALSE(fs::exists(folder / "source/staging/copy/staging"));
}

TEST(TreeCopy, RefusesAnExistingDestination) {
    TemporaryFolder folder;
    writeFile(folder / "source/a", "new");
    writeFile(folder / "copy/a", "old");
    EXPECT_THROW(copyTree(folder / "source", folder / "copy"), fs::filesystem_error);
    EXPECT_EQ(readFile(folder / "copy/a"), "old");
}

TEST(NoClobberMove, NeverReplacesWhatIsThere) {
    TemporaryFolder folder;
    writeFile(folder / "staged/App.app/new", "");
    writeFile(folder / "out/App.app/old", "");
    EXPECT_FALSE(moveWithoutReplacing(folder / "staged/App.app", folder / "out/App.app"));
    EXPECT_TRUE(fs::exists(folder / "out/App.app/old"));
    EXPECT_FALSE(fs::exists(folder / "out/App.app/new"));
    fs::create_symlink("nowhere", folder / "out/Dangling.app");
    EXPECT_FALSE(moveWithoutReplacing(folder / "staged/App.app", folder / "out/Dangling.app"));
    EXPECT_TRUE(moveWithoutReplacing(folder / "staged/App.app", folder / "out/Other.app"));
    EXPECT_TRUE(fs::exists(folder / "out/Other.app/new"));
}

// /dev/shm is a memory file system, so a move from there crosses devices.
TEST(NoClobberMove, AcrossFileSystemsCopiesCompletelyThenRemovesTheSource) {
    TemporaryFolder output;
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    struct stat shm {
    }, out{};
    stat("/dev/shm", &shm);
    stat(output.path().c_str(), &out);
    if (shm.st_dev == out.st_dev) GTEST_SKIP() << "/dev/shm is on the same device";
    setenv("TMPDIR", "/dev/shm", 1);
    {
        const StagingFolder staging;
        makeSampleTree(staging.path() / "App.app");
        EXPECT_TRUE(moveWithoutReplacing(staging.path() / "App.app", output / "App.app"));
        EXPECT_FALSE(fs::exists(staging.path() / "App.app"));
        expectSampleTree(output / "App.app");
        unlock(output / "App.app");
        fs::create_directories(staging.path() / "Again.app");
        EXPECT_FALSE(moveWithoutReplacing(staging.path() / "Again.app", output / "App.app"));
        EXPECT_TRUE(fs::exists(staging.path() / "Again.app"));
    }
    unsetenv("TMPDIR");
    for (const auto& entry : fs::directory_iterator(output.path()))
        EXPECT_EQ(entry.path().filename(), "App.app") << "a partial copy was left behind";
}

TEST(StagingFolder, IsPrivateAndGoneAfterwardsEvenWhenLocked) {
    fs::path path;
    {
        const StagingFolder staging;
        path = staging.path();
        EXPECT_EQ(modeOf(path), 0700u);
        EXPECT_TRUE(path.filename().string().starts_with("Kilnsmith-"));
        EXPECT_EQ(path.filename().string().size(), 10u + 36u);
        writeFile(path / "locked/file", "");
        fs::permissions(path / "locked", static_cast<fs::perms>(0500), fs::perm_options::replace);
    }
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
} // namespace bundlekiln
