#include "kilnsmith_test_access.h"
#include "png_writer.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace bundlekiln {
namespace {

using testing::writeFile;

// Square in points though 2:1 in pixels: the reported size decides. The tools
// work on the copy taken into the staging folder, never on the user's file.
TEST(IconInstallation, ASquareInPointsIsResizedToEverySizeFromTheStagedCopy) {
    testing::TemporaryFolder folder;
    const std::string log = (folder / "calls").string();
    for (const std::string tool : {"sips", "iconutil"})
        writeFile(folder / "root/usr/bin" / tool, "#!/bin/sh\necho \"" + tool + " $*\" >> '" + log + "'\n",
                  0755);
    writeFile(folder / "App.app/Contents/Resources/nw.icns", "");
    writeFile(folder / "App.app/Contents/Info.plist", "{ CFBundleIconFile = nw.icns; }");
    writeFile(folder / "icon.png", testing::gradientPng(200, 100, testing::Resolution{5670, 2835}));
    std::filesystem::create_directories(folder / "staging");
    setenv("BUNDLEKILN_TOOL_ROOT", (folder / "root").c_str(), 1);
    KilnsmithTestAccess::installIcon(folder / "icon.png", folder / "App.app/Contents/Resources",
                                     folder / "staging", folder / "App.app");
    unsetenv("BUNDLEKILN_TOOL_ROOT");
    std::istringstream calls(testing::readFile(log));
    int resizes = 0;
    for (std::string call; std::getline(calls, call);)
        resizes += call.starts_with("sips -z ") &&
                   call.find(" " + (folder / "staging/Icon.png").string() + " --out ") != std::string::npos;
    EXPECT_EQ(resizes, 10) << testing::readFile(log);
    EXPECT_NE(testing::readFile(folder / "App.app/Contents/Info.plist").find("<string>app.icns</string>"),
              std::string::npos);
}

} // namespace
} // namespace bundlekiln
