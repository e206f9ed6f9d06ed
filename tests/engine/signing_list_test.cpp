#include "signing_list.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::writeFile;

// The walk works relative to each folder; what it lists must still be every
// code item by its full path, innermost first, with links neither listed nor
// followed, and a file's name or first bytes deciding whether it is code.
TEST(SigningList, EveryCodeItemInnermostFirstAndTheAppLast) {
    testing::TemporaryFolder app;
    const std::string machO = std::string("\xCF\xFA\xED\xFE", 4) + "rest";
    writeFile(app / "Contents/Frameworks/K.framework/Versions/A/K", machO);
    fs::create_symlink("A", app / "Contents/Frameworks/K.framework/Versions/Current");
    fs::create_symlink("Versions/Current/K", app / "Contents/Frameworks/K.framework/K");
    writeFile(app / "Contents/Resources/tool.app", "a plain file");
    fs::create_symlink(app / "Contents/Frameworks", app / "Contents/Resources/link to frameworks.app");
    writeFile(app / "Contents/Resources/script.sh", "#!/bin/sh\n");
    writeFile(app / "Contents/Resources/short", "\xCF\xFA");
    writeFile(app / "Contents/MacOS/nwjs", machO);
    const auto items = signingList(app.path());
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items.front(), app / "Contents/Frameworks/K.framework/Versions/A/K");
    // Equal depths keep the order the folders list them in, which varies.
    const std::vector<fs::path> shallow = {app / "Contents/Frameworks/K.framework",
                                           app / "Contents/Resources/tool.app", app / "Contents/MacOS/nwjs"};
    EXPECT_TRUE(std::is_permutation(items.begin() + 1, items.begin() + 4, shallow.begin()));
    EXPECT_EQ(items.back(), app.path());
    EXPECT_THROW(signingList(app / "missing.app"), fs::filesystem_error);
}

} // namespace
} // namespace bundlekiln
