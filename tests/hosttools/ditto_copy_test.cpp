// ditto SRC DST: trees are copied with symlinks, modes and times intact, and
// a copy never writes outside its destination or over its own source.

#include <gtest/gtest.h>

#include <random>

#include "file_status.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

ProcessResult ditto(const fs::path& source, const fs::path& destination) {
    return runTool("ditto", {source.string(), destination.string()});
}

std::string randomBytes(std::size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

/// A small tree with every kind of entry ditto must keep, odd modes, and
/// nanosecond times set after the contents (so folders keep theirs).
void makeSampleTree(const fs::path& root) {
    writeFile(root / "private.txt", "secret");
    writeFile(root / "bin/tool", "#!/bin/sh\n");
    writeFile(root / "big.bin", randomBytes(3 * 1024 * 1024 + 17));
    fs::create_directories(root / "empty");
    fs::create_symlink("bin/tool", root / "relative-link");
    fs::create_symlink("/nonexistent/target", root / "dangling-link");
    fs::create_directory_symlink("bin", root / "folder-link");
    fs::permissions(root / "private.txt", fs::perms(0700));
    fs::permissions(root / "bin/tool", fs::perms(0755));
    fs::permissions(root / "empty", fs::perms(0500));
    long seconds = 1'000'000'000;
    for (const auto& relative : {"private.txt", "bin/tool", "big.bin", "relative-link", "dangling-link",
                                 "folder-link", "empty", "bin", ""}) {
        setOddModificationTime(root / relative, seconds += 1000);
    }
}

void expectSameTree(const fs::path& source, const fs::path& copy) {
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        const auto relative = entry.path().lexically_relative(source);
        SCOPED_TRACE(relative.string());
        const auto copied = copy / relative;
        ASSERT_TRUE(fs::exists(fs::symlink_status(copied)));
        EXPECT_TRUE(sameModeAndTime(entry.path(), copied));
        if (entry.is_symlink()) {
            EXPECT_EQ(fs::read_symlink(copied), fs::read_symlink(entry.path()));
        } else if (entry.is_regular_file()) {
            EXPECT_EQ(readFile(copied), readFile(entry.path()));
        }
    }
    EXPECT_TRUE(sameModeAndTime(source, copy));
}

TEST(DittoCopy, KeepsSymlinksModesAndTimesAndCreatesParents) {
    TempFolder folder;
    makeSampleTree(folder / "source");
    const auto destination = folder / "new/parents/copy";
    const auto result = ditto(folder / "source", destination);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    expectSameTree(folder / "source", destination);
    EXPECT_TRUE(fs::is_symlink(destination / "folder-link")) << "a symlink to a folder was followed";
}

TEST(DittoCopy, MergesAFolderIntoAnExistingOneAndReplacesFilesInTheWay) {
    TempFolder folder;
    makeSampleTree(folder / "source");
    writeFile(folder / "copy/unrelated.txt", "kept");
    writeFile(folder / "copy/private.txt", "old contents");
    fs::permissions(folder / "copy/private.txt", fs::perms(0444));
    ASSERT_EQ(ditto(folder / "source", folder / "copy").status, 0);
    EXPECT_EQ(readFile(folder / "copy/unrelated.txt"), "kept");
    expectSameTree(folder / "source", folder / "copy");
}

TEST(DittoCopy, CopiesAFileIntoAnExistingFolderUnderItsName) {
    TempFolder folder;
    writeFile(folder / "one.txt", "one");
    fs::create_directory(folder / "target");
    ASSERT_EQ(ditto(folder / "one.txt", folder / "target").status, 0);
    EXPECT_EQ(readFile(folder / "target/one.txt"), "one");
}

TEST(DittoCopy, NeverWritesThroughASymlinkInTheDestination) {
    TempFolder folder;
    writeFile(folder / "source/inner/file.txt", "new");
    fs::create_directories(folder / "outside");
    fs::create_directories(folder / "copy");
    fs::create_directory_symlink(folder / "outside", folder / "copy/inner");
    ASSERT_EQ(ditto(folder / "source", folder / "copy").status, 0);
    EXPECT_TRUE(fs::is_empty(folder / "outside"));
    EXPECT_FALSE(fs::is_symlink(folder / "copy/inner"));
    EXPECT_EQ(readFile(folder / "copy/inner/file.txt"), "new");
}

TEST(DittoCopy, RefusesToCopyIntoItselfOrToLoseAFolder) {
    TempFolder folder;
    writeFile(folder / "source/file.txt", "data");
    writeFile(folder / "other/file.txt/inside.txt", "must survive");
    for (const auto& destination : {folder / "source", folder / "source/sub/copy"}) {
        const auto result = ditto(folder / "source", destination);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find((folder / "source").string()), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(folder / "source/file.txt"), "data");
    EXPECT_FALSE(fs::exists(folder / "source/sub"));
    const auto replaced = ditto(folder / "source", folder / "other");
    EXPECT_EQ(replaced.status, 1);
    EXPECT_EQ(readFile(folder / "other/file.txt/inside.txt"), "must survive");
}

// However deep a tree nests or however long its paths, ditto answers in one short line naming the top.
TEST(DittoCopy, DeepTreesAndLongPathsFailInOneShortLine) {
    TempFolder folder;
    const auto deep = folder / "Deep.app", longPaths = folder / "Long.app";
    fs::path below, longBelow;
    for (int level = 0; level < 257; ++level) below /= "d";
    for (int level = 0; level < 60; ++level) longBelow /= std::string(20, 'n');
    fs::create_directories(deep / below);
    fs::create_directories(longPaths / longBelow);
    ASSERT_EQ(::mkfifo((longPaths / longBelow / "pipe").c_str(), 0600), 0);
    const std::string tooDeep =
        "ditto: The folder " + deep.string() + " nests folders more than 256 levels deep.\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{deep.string(), (folder / "copy").string()}, tooDeep},
        {{"-c", "-k", "--sequesterRsrc", "--keepParent", deep.string(), (folder / "Deep.zip").string()},
         tooDeep},
        {{longPaths.string(), (folder / "copy").string()},
         "ditto: Could not copy " + (longPaths / "\u2026/pipe").string() +
             ": it is a device, socket or FIFO.\n"},
    };
    for (const auto& [arguments, message] : cases) EXPECT_EQ(runTool("ditto", arguments).err, message);
}

TEST(DittoCopy, ReportsAMissingSourceByName) {
    TempFolder folder;
    const auto result = ditto(folder / "missing", folder / "copy");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find((folder / "missing").string()), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(folder / "copy"));
}

} // namespace
} // namespace hosttools_test
