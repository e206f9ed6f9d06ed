#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

const std::string notARuntime = "Runtime must be an NW.js .zip download or an extracted .app.";
const std::string noAppInArchive = "No macOS .app was found in that runtime archive.";

void makeBundle(const fs::path& app) {
    testing::writeFile(app / "Contents/MacOS/nwjs", "", 0755);
}

fs::path zipOf(const fs::path& folder) {
    const std::string command = "cd '" + folder.string() + "' && zip -qry '" + folder.string() + ".ZIP' .";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return folder.string() + ".ZIP";
}

// Zips are unpacked by the stand-in ditto of the build tree.
class RuntimeResolution : public ::testing::Test {
protected:
    void SetUp() override { setenv("BUNDLEKILN_TOOL_ROOT", BUNDLEKILN_TEST_TOOLROOT, 1); }
    void TearDown() override { unsetenv("BUNDLEKILN_TOOL_ROOT"); }

    /// The bundle the runtime resolves to, or the refusal.
    std::string outcome(const fs::path& runtime, const std::string& staging) {
        return outcomeOf(
            [&] { return KilnsmithTestAccess::resolveRuntime(runtime, folder / staging).string(); });
    }

    testing::TemporaryFolder folder;
};

TEST_F(RuntimeResolution, AnAppOrAFolderHoldingOneIsTakenInPlace) {
    fs::create_directories(folder / "bare.app");
    makeBundle(folder / "download/nwjs.app");
    testing::writeFile(folder / "download/credits.html", "");
    makeBundle(folder / "nwjs.APP");
    fs::create_directories(folder / "empty");
    testing::writeFile(folder / "runtime.tar", "");
    const std::pair<const char*, std::string> cases[] = {
        {"bare.app", (folder / "bare.app").string()},
        {"download", (folder / "download/nwjs.app").string()},
        {"nwjs.APP", notARuntime},
        {"empty", notARuntime},
        {"runtime.tar", notARuntime},
        {"missing", notARuntime},
    };
    for (const auto& [runtime, expected] : cases)
        EXPECT_EQ(outcome(folder / runtime, "s"), expected) << runtime;
    EXPECT_TRUE(fs::is_empty(folder / "s"));
}

// The search skips hidden folders and never enters a bundle; the unpacker's
// own failures come through as they are.
TEST_F(RuntimeResolution, AnArchiveIsUnpackedIntoStagingAndMustHoldAQualifyingApp) {
    makeBundle(folder / "download/nwjs-v1/nwjs.app");
    EXPECT_EQ(outcome(zipOf(folder / "download"), "s"), (folder / "s/runtime/nwjs-v1/nwjs.app").string());
    makeBundle(folder / "hidden/.secret/nwjs.app");
    fs::create_directories(folder / "hidden/hollow.app/Contents/MacOS");
    makeBundle(folder / "hidden/outer.app/Contents/Frameworks/inner.app");
    EXPECT_EQ(outcome(zipOf(folder / "hidden"), "t"), noAppInArchive);
    testing::writeFile(folder / "broken.zip", "PK\x03\x04 not really");
    for (const char* archive : {"broken.zip", "missing.zip"}) {
        const std::string failure = outcome(folder / archive, archive);
        EXPECT_TRUE(!failure.starts_with("/") && failure != notARuntime && failure != noAppInArchive)
            << failure;
    }
}

} // namespace
} // namespace bundlekiln
