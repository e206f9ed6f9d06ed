#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::modeOf;
using testing::writeFile;

TEST(PermissionRepair, EveryEntryOfTheExecutableFolderBecomes0755AndNothingElseChanges) {
    testing::TemporaryFolder app;
    EXPECT_NO_THROW(KilnsmithTestAccess::repairPermissions(app.path()));
    writeFile(app / "Contents/MacOS/nwjs", "", 0644);
    writeFile(app / "Contents/MacOS/private", "", 0700);
    writeFile(app / "Contents/MacOS/sub/inner", "", 0600);
    writeFile(app / "Contents/Resources/data", "", 0600);
    writeFile(app / "outside", "", 0600);
    std::filesystem::create_symlink(app / "outside", app / "Contents/MacOS/link");
    KilnsmithTestAccess::repairPermissions(app.path());
    for (const char* entry : {"nwjs", "private", "sub"})
        EXPECT_EQ(modeOf(app / "Contents/MacOS" / entry), 0755u);
    EXPECT_EQ(modeOf(app / "Contents/MacOS/sub/inner"), 0600u);
    EXPECT_EQ(modeOf(app / "Contents/Resources/data"), 0600u);
    EXPECT_EQ(modeOf(app / "outside"), 0600u);
}

} // namespace
} // namespace bundlekiln
