// ditto -x -k and -c -k: archives made by other tools extract with symlinks
// and modes, hostile entries are refused without touching anything outside
// the target, and the archives we make read back in unzip.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "archive/zip_extraction.h"
#include "common/tool_failure.h"
#include "file_status.h"
#include "mixed_bytes.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

/// Writes the zip argv[1] with python's zipfile; argv[2] is code calling
/// add(name, data, mode) for each entry, stored in the order given.
constexpr const char* kZipMaker = R"(
import sys, zipfile
archive = zipfile.ZipFile(sys.argv[1], 'w')
def add(name, data, mode):
    info = zipfile.ZipInfo(name, (2001, 2, 3, 4, 5, 6))
    info.create_system = 3
    info.external_attr = mode << 16
    archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED)
exec(sys.argv[2])
archive.close()
)";

void makeZip(const fs::path& archive, const std::string& entries) {
    const auto made = runProcess({HOSTTOOLS_TEST_PYTHON, "-c", kZipMaker, archive.string(), entries});
    ASSERT_EQ(made.status, 0) << made.err;
}

ProcessResult extract(const fs::path& archive, const fs::path& directory) {
    return runTool("ditto", {"-x", "-k", archive.string(), directory.string()});
}

ProcessResult create(const fs::path& source, const fs::path& archive) {
    return runTool("ditto",
                   {"-c", "-k", "--sequesterRsrc", "--keepParent", source.string(), archive.string()});
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

mode_t permissionsOf(const fs::path& path) {
    return statusOf(path).st_mode & 07777;
}

TEST(DittoExtract, KeepsSymlinksModesButNotSetIdBitsAndFoldersOfAPythonZip) {
    TempFolder folder;
    makeZip(folder / "in.zip", "add('top/', '', 0o40750)\n"
                               "add('top/run', '#!/bin/sh\\n', 0o100755)\n"
                               "add('top/private', 'secret', 0o100600)\n"
                               "add('top/setuid', '#!/bin/sh\\n', 0o106755)\n"
                               "add('top/deep/er/file', 'x' * 100000, 0o100644)\n"
                               "add('top/link', 'run', 0o120777)\n"
                               "add('top/dangling', '/nonexistent', 0o120777)\n");
    const auto result = extract(folder / "in.zip", folder / "new/target");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto top = folder / "new/target/top";
    EXPECT_EQ(permissionsOf(top), 0750u);
    EXPECT_EQ(permissionsOf(top / "run"), 0755u);
    EXPECT_EQ(permissionsOf(top / "private"), 0600u);
    EXPECT_EQ(permissionsOf(top / "setuid"), 0755u);
    EXPECT_EQ(readFile(top / "deep/er/file"), std::string(100000, 'x'));
    EXPECT_EQ(fs::read_symlink(top / "link"), "run");
    EXPECT_EQ(fs::read_symlink(top / "dangling"), "/nonexistent");
}

TEST(DittoExtract, KeepsSymlinksModesAndTimesOfAZipMadeByZip) {
    TempFolder folder;
    writeFile(folder / "tree/bin/tool", "#!/bin/sh\n");
    fs::permissions(folder / "tree/bin/tool", fs::perms(0700));
    fs::create_symlink("bin/tool", folder / "tree/link");
    setOddModificationTime(folder / "tree/bin/tool", 1'200'000'000);
    const auto zipped = runProcess({"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" -q -r -y in.zip tree", "sh",
                                    folder.path().string(), HOSTTOOLS_TEST_ZIP});
    ASSERT_EQ(zipped.status, 0) << zipped.err;
    ASSERT_EQ(extract(folder / "in.zip", folder / "out").status, 0);
    EXPECT_EQ(permissionsOf(folder / "out/tree/bin/tool"), 0700u);
    EXPECT_EQ(fs::read_symlink(folder / "out/tree/link"), "bin/tool");
    EXPECT_EQ(statusOf(folder / "out/tree/bin/tool").st_mtim.tv_sec, 1'200'000'000);
}

struct HostileArchive {
    const char* name;
    std::string entries;
    std::string refusedEntry;
};

TEST(DittoExtract, RefusesEntriesThatWouldLandOutsideTheTarget) {
    TempFolder folder;
    fs::create_directories(folder / "outside");
    const auto outside = (folder / "outside").string();
    const std::vector<HostileArchive> cases = {
        {"dotdot", "add('ok.txt', 'fine', 0o100644)\nadd('../outside/evil.txt', 'evil', 0o100644)\n",
         "../outside/evil.txt"},
        {"absolute", "add('" + outside + "/evil.txt', 'evil', 0o100644)\n", outside + "/evil.txt"},
        {"absolute-link",
         "add('link', '" + outside + "', 0o120777)\nadd('link/evil.txt', 'evil', 0o100644)\n",
         "link/evil.txt"},
        {"relative-link",
         "add('a/link', '../../outside', 0o120777)\nadd('a/link/evil.txt', 'evil', 0o100644)\n",
         "a/link/evil.txt"},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        const auto archive = folder / (std::string(hostile.name) + ".zip");
        makeZip(archive, hostile.entries);
        const auto result = extract(archive, folder / "targets" / hostile.name);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("'" + hostile.refusedEntry + "'"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(archive.string()), std::string::npos) << result.err;
        EXPECT_TRUE(fs::is_empty(folder / "outside"));
        EXPECT_FALSE(fs::exists(folder / "targets/outside"));
    }
}

TEST(DittoExtract, RefusesBeforeWritingAnArchiveNestedMoreThan256FoldersDeep) {
    TempFolder folder;
    for (const std::string depth : {"256", "257"}) {
        const auto archive = folder / (depth + ".zip");
        makeZip(archive, "add('d/' * " + depth + " + 'f', 'x', 0o100644)\n");
        const auto result = extract(archive, folder / depth);
        const bool refused = depth == "257";
        const std::string refusal =
            "ditto: The archive " + archive.string() + " nests folders more than 256 levels deep.\n";
        EXPECT_EQ(result.err, refused ? refusal : "");
        EXPECT_EQ(fs::exists(folder / depth), !refused);
    }
}

TEST(DittoExtract, FailsOnDamagedMissingAndForeignArchives) {
    TempFolder folder;
    makeZip(folder / "good.zip",
            "import random\nrandom.seed(1)\n"
            "add('data.txt', ' '.join(str(random.random()) for _ in range(20000)), 0o100644)\n");
    auto bytes = readFile(folder / "good.zip");
    const auto damaged = bytes;
    bytes[30 + std::string("data.txt").size() + 200] ^= 0x55; // inside the deflated data
    writeFile(folder / "corrupt.zip", bytes);
    writeFile(folder / "truncated.zip", damaged.substr(0, damaged.size() / 2));
    // Every entry whole, the end of the central directory cut off: entries after a cut would be missing
    // unseen.
    writeFile(folder / "cut-off.zip", damaged.substr(0, damaged.size() - 30));
    writeFile(folder / "text.zip", "this is not an archive\n");
    for (const auto* name : {"corrupt.zip", "truncated.zip", "cut-off.zip", "text.zip", "missing.zip"}) {
        SCOPED_TRACE(name);
        const auto result = extract(folder / name, folder / "targets" / name);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find((folder / name).string()), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(folder / "targets/cut-off.zip"));
}

/// Extracts in this process with `limit`; returns the failure, or an empty
/// string. Extraction enters the target, so the working folder is restored.
std::string extractWithin(const fs::path& archive, const fs::path& directory,
                          hosttools::ExpansionLimit limit) {
    const auto working = fs::current_path();
    std::string failure;
    try {
        hosttools::extractZip(archive, directory, limit);
    } catch (const hosttools::ToolFailure& error) {
        failure = error.what();
    }
    fs::current_path(working);
    return failure;
}

TEST(DittoExtract, RefusesBeforeWritingAnArchiveThatDeclaresMoreThanItsLimit) {
    TempFolder folder;
    makeZip(folder / "zeros.zip", "for name in 'abc': add(name, bytes(50000), 0o100644)\n");
    const auto failure = extractWithin(folder / "zeros.zip", folder / "target", {100'000, 1});
    EXPECT_NE(failure.find("declare 150000 bytes in all, more than the 100000 bytes allowed"),
              std::string::npos)
        << failure;
    EXPECT_FALSE(fs::exists(folder / "target"));
    EXPECT_EQ(extract(folder / "zeros.zip", folder / "target").status, 0)
        << "the tool's own limit is generous";
}

TEST(DittoExtract, AllowsAMultipleOfTheArchiveSizeAboveTheFloor) {
    TempFolder folder;
    makeZip(folder / "noise.zip", "import os\nadd('noise', os.urandom(200000), 0o100644)\n");
    makeZip(folder / "zeros.zip", "add('zeros', bytes(200000), 0o100644)\n");
    const hosttools::ExpansionLimit limit{1000, 4};
    EXPECT_EQ(extractWithin(folder / "noise.zip", folder / "noise", limit), "");
    EXPECT_EQ(fs::file_size(folder / "noise/noise"), 200'000u);
    EXPECT_NE(extractWithin(folder / "zeros.zip", folder / "zeros", limit), "");
}

/// Makes the sole entry of `archive` declare `size` bytes in both its headers.
void declareSize(const fs::path& archive, std::uint32_t size) {
    auto bytes = readFile(archive);
    for (const auto& [signature, field] : {std::pair{"PK\3\4", 22}, {"PK\1\2", 24}}) {
        const auto at = bytes.find(signature) + field;
        for (int index = 0; index < 4; ++index) bytes[at + index] = static_cast<char>(size >> (8 * index));
    }
    writeFile(archive, bytes);
}

TEST(DittoExtract, StopsAnEntryThatHoldsMoreThanItDeclaresAtTheLimit) {
    TempFolder folder;
    makeZip(folder / "liar.zip", "add('zeros', bytes(1000000), 0o100644)\n");
    declareSize(folder / "liar.zip", 10);
    const auto failure = extractWithin(folder / "liar.zip", folder / "target", {100'000, 1});
    EXPECT_NE(failure.find("Stopped extracting the archive " + (folder / "liar.zip").string() +
                           " at the entry 'zeros'"),
              std::string::npos)
        << failure;
    std::error_code error;
    EXPECT_LE(fs::file_size(folder / "target/zeros", error), 100'000u);
}

/// A tree with the entries an app bundle has: nested folders, an executable,
/// a private file, a framework-style symlink and a dangling one.
void makeBundleTree(const fs::path& root) {
    writeFile(root / "Contents/MacOS/app", "#!/bin/sh\n");
    writeFile(root / "Contents/Resources/private.txt", "secret");
    fs::create_directories(root / "Contents/Frameworks/Kit/Versions/A");
    fs::create_directories(root / "Contents/Empty");
    fs::create_symlink("A", root / "Contents/Frameworks/Kit/Versions/Current");
    fs::create_symlink("/nonexistent", root / "Contents/dangling");
    fs::permissions(root / "Contents/MacOS/app", fs::perms(0755));
    fs::permissions(root / "Contents/Resources/private.txt", fs::perms(0600));
}

TEST(DittoCreate, WritesOneTopFolderThatUnzipRestores) {
    TempFolder folder;
    makeBundleTree(folder / "Demo.app");
    const auto result = create(folder / "Demo.app/", folder / "Demo.zip");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto listing = runProcess({HOSTTOOLS_TEST_UNZIP, "-Z1", (folder / "Demo.zip").string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    const auto names = linesOf(listing.out);
    EXPECT_EQ(names.front(), "Demo.app/");
    EXPECT_TRUE(std::all_of(names.begin(), names.end(),
                            [](const auto& name) { return name.starts_with("Demo.app/"); }));
    const auto unzipped = runProcess(
        {HOSTTOOLS_TEST_UNZIP, "-q", (folder / "Demo.zip").string(), "-d", (folder / "out").string()});
    ASSERT_EQ(unzipped.status, 0) << unzipped.out << unzipped.err;
    const auto contents = folder / "out/Demo.app/Contents";
    EXPECT_EQ(fs::read_symlink(contents / "Frameworks/Kit/Versions/Current"), "A");
    EXPECT_EQ(fs::read_symlink(contents / "dangling"), "/nonexistent");
    EXPECT_EQ(permissionsOf(contents / "MacOS/app"), 0755u);
    EXPECT_EQ(permissionsOf(contents / "Resources/private.txt"), 0600u);
    EXPECT_EQ(readFile(contents / "Resources/private.txt"), "secret");
    EXPECT_TRUE(fs::is_directory(contents / "Empty"));
}

TEST(DittoCreate, RoundTripsThroughExtractionWithTimes) {
    TempFolder folder;
    makeBundleTree(folder / "Demo.app");
    setOddModificationTime(folder / "Demo.app/Contents/MacOS/app", 1'300'000'000);
    ASSERT_EQ(create(folder / "Demo.app", folder / "Demo.zip").status, 0);
    ASSERT_EQ(extract(folder / "Demo.zip", folder / "out").status, 0);
    EXPECT_EQ(statusOf(folder / "out/Demo.app/Contents/MacOS/app").st_mtim.tv_sec, 1'300'000'000);
    EXPECT_EQ(fs::read_symlink(folder / "out/Demo.app/Contents/Frameworks/Kit/Versions/Current"), "A");
}

TEST(DittoCreate, LeavesNoArchiveWhenItFails) {
    TempFolder folder;
    writeFile(folder / "Demo.app/file", "data");
    const auto missing = create(folder / "Missing.app", folder / "Missing.zip");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find((folder / "Missing.app").string()), std::string::npos) << missing.err;
    const auto inside = create(folder / "Demo.app", folder / "Demo.app/Demo.zip");
    EXPECT_EQ(inside.status, 1);
    ASSERT_EQ(::mkfifo((folder / "Demo.app/pipe").c_str(), 0600), 0);
    const auto special = create(folder / "Demo.app", folder / "Demo.zip");
    EXPECT_EQ(special.status, 1);
    EXPECT_NE(special.err.find("pipe"), std::string::npos) << special.err;
    std::vector<fs::path> left;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) left.push_back(entry.path());
    EXPECT_EQ(left.size(), 3u) << "only Demo.app, its file and its pipe should remain";
}

TEST(DittoCreate, AnArchiveMayBearTheLongestNameAFileCanHave) {
    TempFolder folder;
    const std::string name(251, 'n');
    writeFile(folder / (name + ".app/file"), "data");
    const auto result = create(folder / (name + ".app"), folder / (name + ".zip"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_regular_file(folder / (name + ".zip")));
}

// Files are deflated in pieces on several threads: pieces finishing out of
// order, or joined wrongly, would show in the readers' checksums.
TEST(DittoCreate, FilesOfManyPiecesReadBackWholeInIndependentReaders) {
    TempFolder folder;
    const auto contents = folder / "Big.app/Contents";
    const std::map<std::string, std::string> files = {{"Frameworks/K", mixedBytes(5'500'000)},
                                                      {"exactly-two-pieces", std::string(2 << 20, 'z')},
                                                      {"small", "small"},
                                                      {"empty", ""}};
    for (const auto& [name, data] : files) writeFile(contents / name, data);
    ASSERT_EQ(create(folder / "Big.app", folder / "Big.zip").status, 0);
    for (const std::vector<std::string>& check : {std::vector<std::string>{HOSTTOOLS_TEST_UNZIP, "-tq"},
                                                  std::vector<std::string>{HOSTTOOLS_TEST_7ZZ, "t"}}) {
        auto command = check;
        command.push_back((folder / "Big.zip").string());
        const auto tested = runProcess(command);
        EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    }
    ASSERT_EQ(runProcess({HOSTTOOLS_TEST_UNZIP, "-q", (folder / "Big.zip").string(), "-d",
                          (folder / "out").string()})
                  .status,
              0);
    for (const auto& [name, data] : files)
        EXPECT_TRUE(readFile(folder / "out/Big.app/Contents" / name) == data) << name;
}

TEST(DittoCreate, MoreMembersThanTheClassicEndRecordCountsAllReadBack) {
    TempFolder folder;
    for (int index = 0; index < 65'600; ++index)
        writeFile(folder / "Many.app" / std::to_string(index % 70) / std::to_string(index), "");
    ASSERT_EQ(create(folder / "Many.app", folder / "Many.zip").status, 0);
    const auto counted =
        runProcess({HOSTTOOLS_TEST_PYTHON, "-c",
                    "import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))",
                    (folder / "Many.zip").string()});
    EXPECT_EQ(counted.out, "65671\n") << counted.err; // the top folder, 70 folders, the files
    const auto tested = runProcess({HOSTTOOLS_TEST_UNZIP, "-tq", (folder / "Many.zip").string()});
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
}

} // namespace
} // namespace hosttools_test
