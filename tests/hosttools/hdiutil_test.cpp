// hdiutil create: the image opens in 7-Zip and converts with dmg2img, the
// volume inside holds the app with its names, modes and symlinks, its catalog
// finds every entry through the index, and a failure leaves no image.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "file_status.h"
#include "mixed_bytes.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

ProcessResult createImage(const std::string& volume, const fs::path& source, const fs::path& image) {
    return runTool("hdiutil", {"create", "-volname", volume, "-srcfolder", source.string(), "-ov", "-format",
                               "UDZO", image.string()});
}

/// An app with what bundles hold: nested folders, an executable, a private
/// file, names with blanks and accents, framework links, an empty file and
/// folder, and a framework binary several chunks long.
void makeApp(const fs::path& app) {
    writeFile(app / "Contents/MacOS/nwjs", "#!/bin/sh\n");
    writeFile(app / "Contents/Resources/private data.txt", "secret");
    writeFile(app / "Contents/Resources/caf\xc3\xa9.txt", "accent");
    writeFile(app / "Contents/Resources/empty", "");
    writeFile(app / "Contents/Frameworks/K.framework/Versions/A/K", mixedBytes(2'500'000));
    fs::create_directories(app / "Contents/Empty Folder");
    fs::create_symlink("A", app / "Contents/Frameworks/K.framework/Versions/Current");
    fs::create_symlink("Versions/Current/K", app / "Contents/Frameworks/K.framework/K");
    fs::create_symlink("../missing", app / "Contents/dangling");
    fs::permissions(app / "Contents/MacOS/nwjs", fs::perms(0755));
    fs::permissions(app / "Contents/Resources/private data.txt", fs::perms(0600));
}

std::map<fs::path, fs::path> entriesBelow(const fs::path& root) {
    std::map<fs::path, fs::path> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries[entry.path().lexically_relative(root)] = entry.path();
    return entries;
}

void expectSameTree(const fs::path& expected, const fs::path& actual) {
    const auto want = entriesBelow(expected), got = entriesBelow(actual);
    std::vector<fs::path> wantNames, gotNames;
    for (const auto& [name, path] : want) wantNames.push_back(name);
    for (const auto& [name, path] : got) gotNames.push_back(name);
    ASSERT_EQ(gotNames, wantNames);
    for (const auto& [name, path] : want) {
        SCOPED_TRACE(name.string());
        const auto& copy = got.at(name);
        EXPECT_EQ(statusOf(copy).st_mode, statusOf(path).st_mode);
        if (fs::is_symlink(path)) {
            EXPECT_EQ(fs::read_symlink(copy), fs::read_symlink(path));
        } else if (fs::is_regular_file(path)) {
            EXPECT_TRUE(readFile(copy) == readFile(path));
        }
    }
}

TEST(HdiutilCreate, SevenZipTestsAndExtractsTheAppUnderTheVolumeName) {
    TempFolder folder;
    makeApp(folder / "src/My App.app");
    const auto created = createImage("My App", folder / "src/My App.app", folder / "My App.dmg");
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.err, "");
    const auto tested = runProcess({HOSTTOOLS_TEST_7ZZ, "t", (folder / "My App.dmg").string()});
    ASSERT_EQ(tested.status, 0) << tested.out << tested.err;
    EXPECT_NE(tested.out.find("Everything is Ok"), std::string::npos) << tested.out;
    const auto extracted = runProcess({HOSTTOOLS_TEST_7ZZ, "x", "-snl", "-snld",
                                       "-o" + (folder / "out").string(), (folder / "My App.dmg").string()});
    ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
    EXPECT_EQ(entriesBelow(folder / "out").begin()->first, "My App");
    expectSameTree(folder / "src", folder / "out/My App");
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST(HdiutilCreate, Dmg2imgVolumeFindsEveryEntryThroughTheCatalogIndex) {
    TempFolder folder;
    const fs::path app = folder / "Big.app";
    makeApp(app);
    fs::create_symlink("/Library/Frameworks", app / "Contents/absolute");
    // Enough entries, with names long enough, for a catalog three levels deep.
    const std::string longName = "a resource with a name as long as some are ";
    for (int index = 0; index < 6000; ++index)
        writeFile(app / "Contents/Resources/many" / std::to_string(index % 40) /
                      (longName + std::to_string(index)),
                  "");
    ASSERT_EQ(createImage("Volume: One", app, folder / "big.dmg").status, 0);
    const auto converted = runProcess(
        {HOSTTOOLS_TEST_DMG2IMG, "-i", (folder / "big.dmg").string(), "-o", (folder / "big.img").string()});
    ASSERT_EQ(converted.status, 0) << converted.out << converted.err;
    const auto looked =
        runProcess({HOSTTOOLS_TEST_PYTHON, HOSTTOOLS_TEST_HFS_LOOKUP, (folder / "big.img").string(),
                    "Big.app", "Big.app/Contents/MacOS/nwjs", "Big.app/Contents/Resources/private data.txt",
                    "Big.app/Contents/Frameworks/K.framework/Versions/A/K",
                    "Big.app/Contents/Frameworks/K.framework/Versions/Current", "Big.app/Contents/absolute",
                    "Big.app/Contents/Resources/many/0/" + longName + "0",
                    "Big.app/Contents/Resources/many/39/" + longName + "5999",
                    "Big.app/Contents/Resources/many/17/" + longName + "3017",
                    "Big.app/Contents/Resources/many/17/" + longName + "3018"});
    ASSERT_EQ(looked.status, 0) << looked.err;
    const std::vector<std::string> expected = {
        "Volume/ One", // ':' is stored as '/', as the platform's file system layer does
        "depth 3",
        "Big.app folder 0o40755 0",
        "Big.app/Contents/MacOS/nwjs file 0o100755 10",
        "Big.app/Contents/Resources/private data.txt file 0o100600 6",
        "Big.app/Contents/Frameworks/K.framework/Versions/A/K file 0o100644 2500000",
        "Big.app/Contents/Frameworks/K.framework/Versions/Current link 0o120777 1 A",
        "Big.app/Contents/absolute link 0o120777 19 /Library/Frameworks",
        "Big.app/Contents/Resources/many/0/" + longName + "0 file 0o100644 0",
        "Big.app/Contents/Resources/many/39/" + longName + "5999 file 0o100644 0",
        "Big.app/Contents/Resources/many/17/" + longName + "3017 file 0o100644 0",
        "Big.app/Contents/Resources/many/17/" + longName + "3018 missing",
    };
    EXPECT_EQ(linesOf(looked.out), expected);
}

TEST(HdiutilCreate, ReplacesAnExistingImage) {
    TempFolder folder;
    makeApp(folder / "A.app");
    writeFile(folder / "A.dmg", "an old image");
    ASSERT_EQ(createImage("A", folder / "A.app", folder / "A.dmg").status, 0);
    EXPECT_EQ(runProcess({HOSTTOOLS_TEST_7ZZ, "t", (folder / "A.dmg").string()}).status, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

struct FailingRun {
    const char* name;
    fs::path source;
    fs::path image;
    std::string mentioned;
};

TEST(HdiutilCreate, FailuresLeaveNoImage) {
    TempFolder folder;
    makeApp(folder / "A.app");
    writeFile(folder / "plain.txt", "not a folder");
    makeApp(folder / "Fifo.app");
    ASSERT_EQ(::mkfifo((folder / "Fifo.app/Contents/pipe").c_str(), 0644), 0);
    const std::vector<FailingRun> cases = {
        {"missing source", folder / "Missing.app", folder / "out/A.dmg", (folder / "Missing.app").string()},
        {"source is a file", folder / "plain.txt", folder / "out/A.dmg", (folder / "plain.txt").string()},
        {"source holds a FIFO", folder / "Fifo.app", folder / "out/A.dmg",
         (folder / "Fifo.app/Contents/pipe").string()},
        {"image folder missing", folder / "A.app", folder / "out/none/A.dmg",
         (folder / "out/none/A.dmg").string()},
        {"image inside the source", folder / "A.app", folder / "A.app/Contents/A.dmg",
         (folder / "A.app/Contents/A.dmg").string()},
    };
    fs::create_directories(folder / "out");
    for (const auto& failing : cases) {
        SCOPED_TRACE(failing.name);
        const auto result = createImage("A", failing.source, failing.image);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(failing.mentioned), std::string::npos) << result.err;
        EXPECT_TRUE(fs::is_empty(folder / "out"));
        EXPECT_FALSE(fs::exists(folder / "A.app/Contents/A.dmg"));
    }
}

TEST(HdiutilCreate, AWriteFailureLeavesTheOldImageAsItWas) {
    TempFolder folder;
    makeApp(folder / "A.app");
    writeFile(folder / "out/A.dmg", "the old image");
    // A file-size limit makes writing fail part way, as a full disk would.
    const auto result = runProcess({"/bin/sh", "-c",
                                    "trap '' XFSZ; ulimit -f 1000; exec \"$0\" create -volname A -srcfolder "
                                    "\"$1\" -ov -format UDZO \"$2\"",
                                    std::string(HOSTTOOLS_TOOL_ROOT) + "/usr/bin/hdiutil",
                                    (folder / "A.app").string(), (folder / "out/A.dmg").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Could not write the image " + (folder / "out/A.dmg").string()),
              std::string::npos)
        << result.err;
    EXPECT_EQ(readFile(folder / "out/A.dmg"), "the old image");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 1);
}

TEST(HdiutilCreate, RefusesOtherFormsWithUsage) {
    TempFolder folder;
    makeApp(folder / "A.app");
    const auto app = (folder / "A.app").string(), image = (folder / "A.dmg").string();
    const std::vector<std::vector<std::string>> forms = {
        {},
        {"create", "-volname", "A", "-srcfolder", app, "-format", "UDZO", image},
        {"create", "-volname", "A", "-srcfolder", app, "-ov", "-format", "UDRW", image},
        {"create", "-srcfolder", app, "-volname", "A", "-ov", "-format", "UDZO", image},
        {"create", "-volname", "A", "-srcfolder", app, "-ov", "-format", "UDZO", (folder / "A.img").string()},
        {"create", "-volname", "A", "-srcfolder", app, "-ov", "-format", "UDZO", image, "-quiet"},
        {"attach", image},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(testing::Message() << form.size() << " arguments");
        const auto result = runTool("hdiutil", form);
        EXPECT_EQ(result.status, 64);
        EXPECT_EQ(result.err.rfind("usage: hdiutil create ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    }
    EXPECT_FALSE(fs::exists(folder / "A.dmg"));
    EXPECT_FALSE(fs::exists(folder / "A.img"));
}

} // namespace
} // namespace hosttools_test
