#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "output_guard.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;
namespace fs = std::filesystem;

bool refused(const fs::path& source, const fs::path& output) {
    try {
        refuseOutputInsideSource(source, output);
        return false;
    } catch (const BuilderError& error) {
        EXPECT_EQ(
            error.message(),
            "Choose an output folder outside the source project to avoid copying builds into themselves.");
        return true;
    }
}

TEST(OutputGuard, SourceOfASingleFileIsItsFolder) {
    TemporaryFolder folder;
    testing::writeFile(folder / "site/index.html", "");
    EXPECT_EQ(sourceFolder(folder / "site/index.html"), folder / "site");
    EXPECT_EQ(sourceFolder(folder / "site"), folder / "site");
}

TEST(OutputGuard, RefusesTheSourceAndAnythingBelowIt) {
    TemporaryFolder folder;
    fs::create_directories(folder / "site");
    EXPECT_TRUE(refused(folder / "site", folder / "site"));
    EXPECT_TRUE(refused(folder / "site", folder / "site/out"));
    EXPECT_TRUE(refused(folder / "site", folder / "site/not/yet/made"));
    EXPECT_FALSE(refused(folder / "site", folder / "site-out"));
    EXPECT_FALSE(refused(folder / "site", folder.path()));
}

TEST(OutputGuard, SeesThroughSymbolicLinks) {
    TemporaryFolder folder;
    fs::create_directories(folder / "site");
    fs::create_directory_symlink(folder / "site", folder / "alias");
    EXPECT_TRUE(refused(folder / "site", folder / "alias/out"));
    EXPECT_TRUE(refused(folder / "alias", folder / "site"));
}

TEST(OutputGuard, ExistingOutputsAreNeverOverwritten) {
    TemporaryFolder folder;
    const auto options = [&](bool zip, bool dmg) {
        BuildOptions record(folder / "p", folder / "r.zip", folder / "out", "App", "1.0", "a.b", std::nullopt,
                            dmg);
        record.zip = zip;
        return record;
    };
    fs::create_directories(folder / "out");
    EXPECT_NO_THROW(refuseExistingOutputs(options(true, true)));
    testing::writeFile(folder / "out/App.dmg", "");
    EXPECT_NO_THROW(refuseExistingOutputs(options(true, false)));
    EXPECT_THROW(refuseExistingOutputs(options(false, true)), BuilderError);
    testing::writeFile(folder / "out/App.zip", "");
    EXPECT_THROW(refuseExistingOutputs(options(true, false)), BuilderError);
    fs::create_directories(folder / "out/App.app");
    EXPECT_THROW(refuseExistingOutputs(options(false, false)), BuilderError);
}

} // namespace
} // namespace bundlekiln
