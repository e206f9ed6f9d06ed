#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "property_list.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace bundlekiln {
namespace {

using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

std::string binaryText(plist_t root) {
    char* data = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string result(data, length);
    std::free(data);
    return result;
}

/// A runtime-like Info.plist whose version is a number and whose
/// high-resolution flag is false, as some runtimes ship it.
PropertyList runtimeInfo() {
    PropertyList info(plist_new_dict());
    plist_dict_set_item(info.root(), "CFBundleIconFile", plist_new_string("nw.icns"));
    plist_dict_set_item(info.root(), "CFBundleVersion", plist_new_uint(115));
    plist_dict_set_item(info.root(), "NSHighResolutionCapable", plist_new_bool(0));
    plist_dict_set_item(info.root(), "LSMinimumSystemVersion", plist_new_string("10.15"));
    plist_t types = plist_new_array();
    plist_array_append_item(types, plist_new_string("public.html"));
    plist_dict_set_item(info.root(), "Types", types);
    return info;
}

std::string stringEntry(plist_t dictionary, const char* key) {
    plist_t item = plist_dict_get_item(dictionary, key);
    if (!item || plist_get_node_type(item) != PLIST_STRING) return "<not a string>";
    char* value = nullptr;
    plist_get_string_val(item, &value);
    std::string result(value);
    std::free(value);
    return result;
}

class PlistUpdate : public ::testing::Test {
protected:
    std::filesystem::path infoPath() const { return app / "Contents/Info.plist"; }
    TemporaryFolder app;
};

TEST_F(PlistUpdate, BinaryInfoBecomesXMLWithTheIdentitySetAndEverythingElseKept) {
    writeFile(infoPath(), binaryText(runtimeInfo().root()));
    KilnsmithTestAccess::updatePlist(app.path(), sampleOptions("My App", "1.2.3", "com.Example.App"));

    const std::string written = readFile(infoPath());
    EXPECT_TRUE(written.starts_with("<?xml")) << written;
    const PropertyList info = parsePropertyList(written);
    plist_t root = info.root();
    EXPECT_EQ(stringEntry(root, "CFBundleName"), "My App");
    EXPECT_EQ(stringEntry(root, "CFBundleDisplayName"), "My App");
    EXPECT_EQ(stringEntry(root, "CFBundleIdentifier"), "com.Example.App");
    EXPECT_EQ(stringEntry(root, "CFBundleShortVersionString"), "1.2.3");
    EXPECT_EQ(stringEntry(root, "CFBundleVersion"), "1.2.3");
    plist_t highResolution = plist_dict_get_item(root, "NSHighResolutionCapable");
    ASSERT_EQ(plist_get_node_type(highResolution), PLIST_BOOLEAN);
    std::uint8_t flag = 0;
    plist_get_bool_val(highResolution, &flag);
    EXPECT_TRUE(flag);

    EXPECT_EQ(stringEntry(root, "CFBundleIconFile"), "nw.icns");
    EXPECT_EQ(stringEntry(root, "LSMinimumSystemVersion"), "10.15");
    plist_t types = plist_dict_get_item(root, "Types");
    ASSERT_EQ(plist_get_node_type(types), PLIST_ARRAY);
    EXPECT_EQ(plist_array_get_size(types), 1u);
    EXPECT_EQ(plist_dict_get_size(root), 9u);
}

TEST_F(PlistUpdate, OldTextFormatInfoIsReadAndWrittenAsXML) {
    writeFile(infoPath(),
              "// from an old runtime\n{\n  CFBundleIconFile = nw.icns;\n"
              "  \"CFBundleGetInfoString\" = \"nwjs \\\"115\\\"\";\n  Types = (html, \"web page\");\n"
              "  Blob = <0fA1 b2>;\n}\n");
    KilnsmithTestAccess::updatePlist(app.path(), sampleOptions());
    const std::string written = readFile(infoPath());
    ASSERT_TRUE(written.starts_with("<?xml"));
    const PropertyList info = parsePropertyList(written);
    EXPECT_EQ(stringEntry(info.root(), "CFBundleIconFile"), "nw.icns");
    EXPECT_EQ(stringEntry(info.root(), "CFBundleGetInfoString"), "nwjs \"115\"");
    EXPECT_EQ(stringEntry(info.root(), "CFBundleName"), "Sample");
    EXPECT_EQ(plist_array_get_size(plist_dict_get_item(info.root(), "Types")), 2u);
    EXPECT_NE(written.find("D6Gy"), std::string::npos) << written;
}

TEST_F(PlistUpdate, AnArrayAtTheTopIsAnInvalidInfoPlistAndStaysUntouched) {
    const std::string array =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>";
    writeFile(infoPath(), array);
    try {
        KilnsmithTestAccess::updatePlist(app.path(), sampleOptions());
        FAIL() << "no error";
    } catch (const BuilderError& error) {
        EXPECT_EQ(error.message(), "NW.js runtime has an invalid Info.plist.");
    }
    EXPECT_EQ(readFile(infoPath()), array);
}

TEST_F(PlistUpdate, DataThatIsNoPropertyListFailsWithTheParserReasonAndStaysUntouched) {
    for (const std::string& bad :
         {std::string("{ unterminated = yes;"), std::string("<?xml version=\"1.0\"?><plist>"),
          binaryText(runtimeInfo().root()).substr(0, 40)}) {
        writeFile(infoPath(), bad);
        try {
            KilnsmithTestAccess::updatePlist(app.path(), sampleOptions());
            ADD_FAILURE() << "no error for " << bad;
        } catch (const PropertyListError& error) {
            EXPECT_NE(std::string(error.what()).find(infoPath().string()), std::string::npos) << error.what();
        }
        EXPECT_EQ(readFile(infoPath()), bad);
    }
}

TEST_F(PlistUpdate, AMissingInfoPlistIsAReadError) {
    EXPECT_THROW(KilnsmithTestAccess::updatePlist(app.path(), sampleOptions()),
                 std::filesystem::filesystem_error);
}

} // namespace
} // namespace bundlekiln
