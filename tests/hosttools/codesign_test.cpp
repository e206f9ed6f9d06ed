// codesign seals a bundle and every bundle inside it; --verify --deep --strict
// must pass on what it sealed, whatever the names, and name each change made
// afterwards. The recorded page digests are checked against python3's hashlib.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMiB = std::size_t{1} << 20;

class Codesign : public testing::Test {
protected:
    void SetUp() override {
        writeFile(app / "Contents/Info.plist", "<plist/>\n");
        writeFile(app / "Contents/MacOS/Demo", "binary\n");
        writeFile(framework / "Versions/A/Framework", std::string(3 * kMiB + 5, 'x'));
        fs::create_directory_symlink("Versions/A", framework / "Current");
        // Names whose walk order differs from plain byte order, and names the seal must escape.
        for (const char* name : {"a/x", "a.b", "a-b", "a0", "b&<c>", "line\nbreak", "carriage\rreturn"})
            writeFile(app / "Contents/Resources" / name, name);
    }

    ProcessResult signAdHoc() { return runTool("codesign", {"--force", "--deep", "--sign", "-", app}); }
    ProcessResult verify() { return runTool("codesign", {"--verify", "--deep", "--strict", app}); }

    TempFolder folder;
    fs::path app = folder / "Demo.app";
    fs::path framework = app / "Contents/Frameworks/Demo Framework.framework";
};

TEST_F(Codesign, WhatItSealedVerifies) {
    ASSERT_EQ(signAdHoc().status, 0);
    const auto result = verify();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_regular_file(framework / "_CodeSignature/CodeResources"));
}

TEST_F(Codesign, VerifyNamesEveryChange) {
    ASSERT_EQ(signAdHoc().status, 0);
    writeFile(app / "Contents/Resources/a.b", "changed");
    fs::remove_all(app / "Contents/Resources/a");
    writeFile(framework / "Versions/A/Extra", "new");
    {
        // The last byte of the last page.
        std::fstream binary(framework / "Versions/A/Framework",
                            std::ios::in | std::ios::out | std::ios::binary);
        binary.seekp(3 * kMiB + 4);
        binary.put('y');
    }
    const auto result = verify();
    EXPECT_EQ(result.status, 1);
    const std::string resources = (app / "Contents/Resources").string();
    EXPECT_NE(result.err.find("file modified: " + resources + "/a.b\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("file missing: " + resources + "/a\nfile missing: " + resources + "/a/x\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("In subcomponent: " + framework.string() + "\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("file added: " + (framework / "Versions/A/Extra").string() + "\n"),
              std::string::npos);
    EXPECT_NE(result.err.find("file modified: " + (framework / "Versions/A/Framework").string() + "\n"),
              std::string::npos);
    // Nothing unchanged is reported: the app's reason and its five changes, then the framework's reason,
    // its name and its two changes.
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 6 + 4) << result.err;
}

// The seal's own folder is left out and entries are named relative to the bundle however the
// bundle's path is spelled.
TEST_F(Codesign, APathWithATrailingSlashSealsTheSameEntries) {
    ASSERT_EQ(runTool("codesign", {"--force", "--deep", "--sign", "-", app.string() + "/"}).status, 0);
    const std::string seal = readFile(app / "Contents/_CodeSignature/CodeResources");
    EXPECT_EQ(seal.find("<key>Contents/_CodeSignature"), std::string::npos) << seal;
    EXPECT_NE(seal.find("<key>Contents/Info.plist</key>"), std::string::npos) << seal;
    auto result = verify();
    EXPECT_EQ(result.status, 0) << result.err;

    ASSERT_EQ(signAdHoc().status, 0);
    result = runTool("codesign", {"--verify", "--deep", "--strict", app.string() + "/"});
    EXPECT_EQ(result.status, 0) << result.err;
}

struct LinkCase {
    std::vector<std::pair<fs::path, fs::path>> links; // each link in the app and its target
    std::string refusal;                              // how signing ends; empty when it passes
};

// A link is judged by where it resolves, not by its text, and no seal is written through one.
TEST_F(Codesign, LinksAreJudgedWhereTheyResolve) {
    const std::vector<LinkCase> cases = {
        {{{"q", "."}, {"boot.js", "q/q/q/../../secret"}},
         "boot.js: invalid destination for symbolic link in bundle\n"},
        {{{"Contents/_CodeSignature", "Resources"}},
         "Contents/_CodeSignature is a symbolic link; nothing is written through one.\n"},
        {{{"Contents/dangling", "../missing/../Contents"}}, ""},
    };
    for (const auto& [links, refusal] : cases) {
        SCOPED_TRACE(refusal);
        for (const auto& [link, target] : links) fs::create_symlink(target, app / link);
        const auto result = signAdHoc();
        EXPECT_EQ(result.status, refusal.empty() ? 0 : 1);
        EXPECT_TRUE(result.err.ends_with(refusal)) << result.err;
        for (const auto& [link, target] : links) fs::remove(app / link);
    }
    EXPECT_FALSE(fs::exists(app / "Contents/Resources/CodeResources"));
    fs::create_symlink(".", app / "q");
    fs::create_symlink("q/q/q/../../secret", app / "boot.js");
    EXPECT_NE(verify().err.find("bundle\nIn subcomponent: " + (app / "boot.js").string() + "\n"),
              std::string::npos);
}

TEST_F(Codesign, SealRecordsTheDigestOfEachPageInOrder) {
    ASSERT_EQ(signAdHoc().status, 0);
    const auto expected =
        runProcess({HOSTTOOLS_TEST_PYTHON, "-c",
                    "import hashlib, sys\n"
                    "data = open(sys.argv[1], 'rb').read()\n"
                    "pages = b''.join(hashlib.sha256(data[at:at + 1048576]).digest() for at in range(0, "
                    "len(data), 1048576))\n"
                    "print('<string>file:' + hashlib.sha256(pages).hexdigest() + '</string>')",
                    (framework / "Versions/A/Framework").string()});
    ASSERT_EQ(expected.status, 0) << expected.err;
    const std::string seal = readFile(framework / "_CodeSignature/CodeResources");
    EXPECT_NE(seal.find("<key>Versions/A/Framework</key>" + expected.out.substr(0, expected.out.size() - 1)),
              std::string::npos)
        << seal;
}

TEST_F(Codesign, UnsignedAndDamagedSealsAreRefused) {
    auto result = verify();
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(app.string() + ": code object is not signed at all\n"), std::string::npos)
        << result.err;

    ASSERT_EQ(signAdHoc().status, 0);
    const fs::path seal = app / "Contents/_CodeSignature/CodeResources";
    const std::string text = readFile(seal);
    writeFile(seal, text.substr(0, text.size() / 2));
    result = verify();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "codesign: " + seal.string() + ": the code signature is damaged.\n");
}

} // namespace
} // namespace hosttools_test
