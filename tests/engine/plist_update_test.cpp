#include "kilnsmith_test_access.h"
#include "property_list.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::readFile;
using testing::writeFile;

// Entries of another type or value than the app's are replaced, not kept.
TEST(PlistUpdate, TheVersionAndTheHighResolutionFlagAreSetWhateverTheRuntimeHad) {
    testing::TemporaryFolder app;
    writeFile(app / "Contents/Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleVersion"
              "</key><integer>115</integer><key>NSHighResolutionCapable</key><false/>"
              "</dict></plist>");
    KilnsmithTestAccess::updatePlist(app.path(), sampleOptions("My App", "1.2.3"));
    const PropertyList info = parsePropertyList(readFile(app / "Contents/Info.plist"));
    const std::string xml = xmlText(info);
    EXPECT_NE(xml.find("<key>CFBundleVersion</key>\n\t<string>1.2.3</string>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<key>NSHighResolutionCapable</key>\n\t<true/>"), std::string::npos) << xml;
}

TEST(PlistUpdate, DataThatIsNoPropertyListFailsNamingTheFileAndStaysUntouched) {
    testing::TemporaryFolder app;
    const auto info = app / "Contents/Info.plist";
    for (const std::string& bad :
         {std::string("{ unterminated = yes;"), std::string("<?xml version=\"1.0\"?><plist>"),
          std::string("bplist00\0\0\0", 11)}) {
        writeFile(info, bad);
        try {
            KilnsmithTestAccess::updatePlist(app.path(), sampleOptions());
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const PropertyListError& error) {
            EXPECT_NE(std::string(error.what()).find(info.string()), std::string::npos) << error.what();
        }
        EXPECT_EQ(readFile(info), bad);
    }
}

} // namespace
} // namespace bundlekiln
