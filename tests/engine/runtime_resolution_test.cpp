#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;
namespace fs = std::filesystem;

const std::string notARuntime = "Runtime must be an NW.js .zip download or an extracted .app.";
const std::string noAppInArchive = "No macOS .app was found in that runtime archive.";

void makeBundle(const fs::path& app) {
    testing::writeFile(app / "Contents/MacOS/nwjs", "", 0755);
}

std::string refusal(const fs::path& runtime, const fs::path& staging) {
    try {
        KilnsmithTestAccess::resolveRuntime(runtime, staging);
    } catch (const BuilderError& error) {
        return error.message();
    }
    return "accepted";
}

// Zips are unpacked by the stand-in ditto of the build tree.
class RuntimeResolution : public ::testing::Test {
protected:
    void SetUp() override { setenv("BUNDLEKILN_TOOL_ROOT", BUNDLEKILN_TEST_TOOLROOT, 1); }
    void TearDown() override { unsetenv("BUNDLEKILN_TOOL_ROOT"); }

    fs::path zipOf(const std::string& folder, const std::string& archive) {
        const std::string command =
            "cd '" + (files / folder).string() + "' && zip -qry '" + (files / archive).string() + "' .";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return files / archive;
    }

    TemporaryFolder files;
    TemporaryFolder staging;
};

TEST_F(RuntimeResolution, AnAppFolderIsTakenAsItIs) {
    fs::create_directories(files / "nwjs.app");
    EXPECT_EQ(KilnsmithTestAccess::resolveRuntime(files / "nwjs.app", staging.path()), files / "nwjs.app");
}

TEST_F(RuntimeResolution, AnExtractedDownloadYieldsTheBundleInside) {
    testing::writeFile(files / "nwjs-v1-osx-arm64/credits.html", "");
    makeBundle(files / "nwjs-v1-osx-arm64/nwjs.app");
    EXPECT_EQ(KilnsmithTestAccess::resolveRuntime(files / "nwjs-v1-osx-arm64", staging.path()),
              files / "nwjs-v1-osx-arm64/nwjs.app");
    EXPECT_TRUE(fs::is_empty(staging.path()));
}

TEST_F(RuntimeResolution, FoldersAndFilesThatAreNoRuntime) {
    makeBundle(files / "nwjs.APP");
    fs::create_directories(files / "empty");
    testing::writeFile(files / "runtime.tar", "");
    EXPECT_EQ(refusal(files / "nwjs.APP", staging.path()), notARuntime);
    EXPECT_EQ(refusal(files / "empty", staging.path()), notARuntime);
    EXPECT_EQ(refusal(files / "runtime.tar", staging.path()), notARuntime);
    EXPECT_EQ(refusal(files / "missing", staging.path()), notARuntime);
}

TEST_F(RuntimeResolution, ArchivesOfAnyCaseAreUnpackedIntoStaging) {
    makeBundle(files / "download/nwjs-v1/nwjs.app");
    const fs::path archive = zipOf("download", "runtime.ZIP");
    EXPECT_EQ(KilnsmithTestAccess::resolveRuntime(archive, staging.path()),
              staging / "runtime/nwjs-v1/nwjs.app");
}

TEST_F(RuntimeResolution, ArchiveWithoutAQualifyingBundle) {
    makeBundle(files / "hidden/.secret/nwjs.app");
    fs::create_directories(files / "hollow/nwjs.app/Contents/MacOS");
    EXPECT_EQ(refusal(zipOf("hidden", "hidden.zip"), staging.path()), noAppInArchive);
    EXPECT_EQ(refusal(zipOf("hollow", "hollow.zip"), staging.path() / "second"), noAppInArchive);
}

TEST_F(RuntimeResolution, AMissingOrDamagedArchiveFailsInTheUnpacker) {
    testing::writeFile(files / "broken.zip", "PK\x03\x04 not really");
    EXPECT_NE(refusal(files / "missing.zip", staging.path()), "accepted");
    EXPECT_NE(refusal(files / "missing.zip", staging.path()), notARuntime);
    EXPECT_NE(refusal(files / "broken.zip", staging.path()), noAppInArchive);
}

TEST(FindApp, SkipsHiddenFoldersAndNeverEntersABundle) {
    TemporaryFolder folder;
    makeBundle(folder / ".hidden/nwjs.app");
    makeBundle(folder / "outer.app/Contents/Frameworks/inner.app");
    EXPECT_EQ(KilnsmithTestAccess::findApp(folder.path()), std::nullopt);
    makeBundle(folder / "deeper/nwjs.app");
    EXPECT_EQ(KilnsmithTestAccess::findApp(folder.path()), folder / "deeper/nwjs.app");
    EXPECT_EQ(KilnsmithTestAccess::findApp(folder / "missing"), std::nullopt);
}

} // namespace
} // namespace bundlekiln
