#include "no_clobber_move.h"
#include "staging_folder.h"
#include "temporary_folder.h"
#include "tree_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
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

// Checks the copy of the sample tree, then unlocks it for removal.
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
    fs::permissions(root / "locked", fs::perms::owner_all, fs::perm_options::add);
}

TEST(TreeCopy, KeepsLinksModesTimesAndPipesAndLeavesOutTheFolderToSkip) {
    TemporaryFolder folder;
    makeSampleTree(folder / "source");
    writeFile(folder / "source/staging/partial", "");
    copyTree(folder / "source", folder / "source/staging/copy", folder / "source/staging");
    expectSampleTree(folder / "source/staging/copy");
    expectSampleTree(folder / "source");
    EXPECT_FALSE(fs::exists(folder / "source/staging/copy/staging"));
    EXPECT_THROW(copyTree(folder / "source/bin", folder / "source/staging"), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(folder / "source/staging/tool"));
}

// Within a file system the move renames; from /dev/shm, a memory file system,
// it crosses devices and copies. The staging folder is private, and goes with
// everything in it, locked or not.
TEST(NoClobberMove, FromThePrivateStagingFolderNeverReplacesWhatIsThereAndMovesWholeOrNotAtAll) {
    TemporaryFolder folder;
    for (const char* temporary : {folder.path().c_str(), "/dev/shm"}) {
        setenv("TMPDIR", temporary, 1);
        const fs::path output = folder / fs::path(temporary).filename();
        fs::path stagingPath;
        {
            const StagingFolder staging;
            stagingPath = staging.path();
            EXPECT_EQ(modeOf(stagingPath), 0700u);
            EXPECT_EQ(stagingPath.filename().string().substr(0, 10), "Kilnsmith-");
            const fs::path staged = stagingPath / "App.app";
            makeSampleTree(staged);
            writeFile(output / "Taken.app/old", "");
            fs::create_symlink("nowhere", output / "Dangling.app");
            EXPECT_FALSE(moveWithoutReplacing(staged, output / "Taken.app"));
            EXPECT_FALSE(moveWithoutReplacing(staged, output / "Dangling.app"));
            EXPECT_TRUE(moveWithoutReplacing(staged, output / "App.app"));
            EXPECT_FALSE(fs::exists(staged));
            expectSampleTree(output / "App.app");
            // The ten entries of the app, and what was there before: no partial copy is left.
            EXPECT_EQ(std::set<fs::path>(fs::recursive_directory_iterator(output), {}).size(), 10u + 4u)
                << temporary;
            EXPECT_EQ(fs::read_symlink(output / "Dangling.app"), "nowhere");
            writeFile(stagingPath / "locked/file", "");
            fs::permissions(stagingPath / "locked", static_cast<fs::perms>(0500), fs::perm_options::replace);
        }
        EXPECT_FALSE(fs::exists(stagingPath));
    }
    unsetenv("TMPDIR");
}

} // namespace
} // namespace bundlekiln
