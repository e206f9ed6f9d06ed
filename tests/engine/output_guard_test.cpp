#include "kilnsmith_test_access.h"
#include "output_guard.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;
namespace fs = std::filesystem;

TEST(OutputGuard, RefusesTheSourceFolderAndAnythingBelowItThroughLinksToo) {
    const std::string inside =
        "Choose an output folder outside the source project to avoid copying builds into themselves.";
    TemporaryFolder folder;
    testing::writeFile(folder / "site/index.html", "");
    fs::create_directory_symlink(folder / "site", folder / "alias");
    EXPECT_EQ(sourceFolder(folder / "site/index.html"), folder / "site");
    EXPECT_EQ(sourceFolder(folder / "site"), folder / "site");
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"site", "site", inside},      {"site", "site/out", inside}, {"site", "site/not/yet/made", inside},
        {"site", "alias/out", inside}, {"alias", "site", inside},    {"site", "site-out", "accepted"},
        {"site", ".", "accepted"},
    };
    for (const auto& [source, output, expected] : cases)
        EXPECT_EQ(refusalOf([&] { refuseOutputInsideSource(folder / source, folder / output); }), expected)
            << source << " " << output;
}

TEST(OutputGuard, ExistingOutputsOfTheRequestedKindsAreNeverOverwritten) {
    TemporaryFolder folder;
    const auto refusal = [&](bool zip, bool dmg) {
        BuildOptions options(folder / "p", folder / "r.zip", folder / "out", "App", "1.0", "a.b",
                             std::nullopt, dmg);
        options.zip = zip;
        return refusalOf([&] { refuseExistingOutputs(options); });
    };
    fs::create_directories(folder / "out");
    EXPECT_EQ(refusal(true, true), "accepted");
    testing::writeFile(folder / "out/App.dmg", "");
    EXPECT_EQ(refusal(true, false), "accepted");
    EXPECT_EQ(refusal(false, true), outputExistsMessage);
    testing::writeFile(folder / "out/App.zip", "");
    EXPECT_EQ(refusal(true, false), outputExistsMessage);
    fs::create_directories(folder / "out/App.app");
    EXPECT_EQ(refusal(false, false), outputExistsMessage);
}

} // namespace
} // namespace bundlekiln
