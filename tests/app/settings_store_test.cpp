#include "settings_store.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace bundlekiln::app {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::TemporaryFolder;
using bundlekiln::testing::writeFile;

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() {
        if (const char* configured = std::getenv("XDG_CONFIG_HOME")) saved_ = configured;
        setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    }
    ~SettingsStoreTest() override { setenv("XDG_CONFIG_HOME", saved_.c_str(), 1); }

    TemporaryFolder folder;

private:
    std::string saved_;
};

// Python's own property-list reader, as an independent check of the file.
std::string readWithPlistlib(const std::filesystem::path& file) {
    const std::string command = "python3 -c 'import plistlib,sys; d=plistlib.load(open(sys.argv[1],\"rb\"));"
                                "print(sorted((k, type(v).__name__, v) for k, v in d.items()))' '" +
                                file.string() + "'";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pipe) pclose(pipe);
    return output;
}

TEST_F(SettingsStoreTest, KeepsEachTypeInItsSuiteFileAcrossInstances) {
    {
        SettingsStore store = SettingsStore::forSuite("suite.one");
        store.setString("final.name", "  Spaced \u00e9 Name ");
        store.setBoolean("final.auto", false);
        store.setInteger("final.arch", 1);
        store.setInteger("final.negative", -3);
    }
    const SettingsStore reopened = SettingsStore::forSuite("suite.one");
    EXPECT_EQ(reopened.file(), folder.path() / "bundlekiln" / "suite.one.plist");
    EXPECT_EQ(reopened.string("final.name"), "  Spaced \u00e9 Name ");
    EXPECT_EQ(reopened.boolean("final.auto"), false);
    EXPECT_EQ(reopened.integer("final.arch"), 1);
    EXPECT_EQ(reopened.integer("final.negative"), -3);
    EXPECT_EQ(SettingsStore::forSuite("suite.two").string("final.name"), std::nullopt);
}

TEST_F(SettingsStoreTest, WritesAnXMLPropertyListThatOtherReadersAccept) {
    SettingsStore store = SettingsStore::forSuite("xml");
    store.setValues(
        {{"final.name", std::string("A & <B>")}, {"final.zip", true}, {"final.arch", std::int64_t{1}}});
    EXPECT_EQ(readFile(store.file()).rfind("<?xml", 0), 0u);
    EXPECT_EQ(readWithPlistlib(store.file()),
              "[('final.arch', 'int', 1), ('final.name', 'str', 'A & <B>'), ('final.zip', 'bool', True)]\n");
}

TEST_F(SettingsStoreTest, AValueOfAnotherTypeReadsAsAbsent) {
    SettingsStore store = SettingsStore::forSuite("types");
    store.setString("text", "true");
    store.setBoolean("flag", true);
    store.setInteger("number", 7);
    EXPECT_EQ(store.boolean("text"), std::nullopt);
    EXPECT_EQ(store.integer("text"), std::nullopt);
    EXPECT_EQ(store.string("flag"), std::nullopt);
    EXPECT_EQ(store.integer("flag"), std::nullopt);
    EXPECT_EQ(store.boolean("number"), std::nullopt);
    EXPECT_EQ(store.string("number"), std::nullopt);
    EXPECT_EQ(store.string("missing"), std::nullopt);
}

TEST_F(SettingsStoreTest, AnUnreadableFileReadsAsEmptyAndIsReplacedAtTheNextChange) {
    const std::string good = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                             "<key>final.name</key><string>Kept</string></dict></plist>";
    for (const std::string& bad :
         {std::string("not a property list"), good.substr(0, good.size() / 2),
          std::string("<plist version=\"1.0\"><array><string>x</string></array></plist>"),
          std::string("{\"final.name\": \"json\"}"), std::string("bplist00\1\2\3", 11),
          std::string("\0\1\2", 3), std::string()}) {
        const auto file = SettingsStore::suiteFile("broken");
        writeFile(file, bad);
        SettingsStore store = SettingsStore::forSuite("broken");
        EXPECT_EQ(store.string("final.name"), std::nullopt) << bad;
        store.setString("final.version", "2.0");
        EXPECT_EQ(SettingsStore::forSuite("broken").string("final.version"), "2.0") << bad;
    }
}

TEST_F(SettingsStoreTest, KeysOfOtherTypesSurviveAChange) {
    writeFile(SettingsStore::suiteFile("foreign"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
              "<key>other</key><array><string>kept</string></array></dict></plist>");
    SettingsStore::forSuite("foreign").setBoolean("final.zip", true);
    EXPECT_NE(readFile(SettingsStore::suiteFile("foreign")).find("<string>kept</string>"), std::string::npos);
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenKeepsItsValuesWithoutFailing) {
    writeFile(folder / "bundlekiln", "a file where the folder should be");
    SettingsStore store = SettingsStore::forSuite("unwritable");
    EXPECT_NO_THROW(store.setString("final.name", "Memory"));
    EXPECT_EQ(store.string("final.name"), "Memory");
}

TEST_F(SettingsStoreTest, ARelativeConfigurationFolderIsIgnored) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", folder.path().c_str(), 1);
    EXPECT_EQ(SettingsStore::suiteFile("s"), folder.path() / ".config" / "bundlekiln" / "s.plist");
    setenv("HOME", home.c_str(), 1);
}

} // namespace
} // namespace bundlekiln::app
