// The settings store, and the window's controls that it keeps from one start
// to the next.
#include "delegate_fixture.h"

#include <QComboBox>
#include <QLineEdit>

#include <cstdlib>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::writeFile;
using Settings = DelegateTest;

// A value stored with another type than the one asked for reads as absent.
TEST_F(Settings, TheStoreKeepsEachTypeInItsSuiteFileAsXML) {
    {
        SettingsStore store = SettingsStore::forSuite("one");
        store.setString("name", "  A & <B> ");
        store.setBoolean("zip", true);
        store.setValues({{"arch", std::int64_t{-3}}, {"other", std::string("x")}});
    }
    EXPECT_TRUE(readFile(folder / "config/bundlekiln/one.plist").starts_with("<?xml"));
    const SettingsStore reopened = SettingsStore::forSuite("one");
    EXPECT_EQ(reopened.string("name"), "  A & <B> ");
    EXPECT_EQ(reopened.boolean("zip"), true);
    EXPECT_EQ(reopened.integer("arch"), -3);
    EXPECT_EQ(std::make_tuple(reopened.boolean("name"), reopened.integer("name"), reopened.boolean("arch")),
              std::make_tuple(std::nullopt, std::nullopt, std::nullopt));
    EXPECT_EQ(std::make_tuple(reopened.string("zip"), reopened.integer("zip"), reopened.string("arch")),
              std::make_tuple(std::nullopt, std::nullopt, std::nullopt));
    EXPECT_EQ(SettingsStore::forSuite("two").string("name"), std::nullopt);
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", folder.path().c_str(), 1);
    EXPECT_EQ(SettingsStore::suiteFile("s"), folder / ".config/bundlekiln/s.plist");
    setenv("HOME", home.c_str(), 1);
}

TEST_F(Settings, AnUnreadableFileReadsAsEmptyAndIsReplacedAtTheNextChangeKeepingOtherTypes) {
    const std::string good = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                             "<key>name</key><string>Kept</string><key>list</key><array/></dict></plist>";
    const auto file = SettingsStore::suiteFile("s");
    for (const std::string& bad :
         {good.substr(0, good.size() / 2), std::string("not a property list"),
          std::string("<plist version=\"1.0\"><array><string>x</string></array></plist>"),
          std::string("{\"name\": \"json\"}"), std::string("bplist00\1\2\3", 11), std::string("\0\1\2", 3),
          std::string()}) {
        writeFile(file, bad);
        SettingsStore store = SettingsStore::forSuite("s");
        EXPECT_EQ(store.string("name"), std::nullopt) << bad;
        store.setString("version", "2.0");
        EXPECT_EQ(SettingsStore::forSuite("s").string("version"), "2.0") << bad;
    }
    writeFile(file, good);
    SettingsStore::forSuite("s").setBoolean("zip", true);
    EXPECT_NE(readFile(file).find("<key>list</key>"), std::string::npos);
    std::filesystem::remove_all(folder / "config");
    writeFile(folder / "config/bundlekiln", "a file where the folder should be");
    SettingsStore unwritable = SettingsStore::forSuite("s");
    unwritable.setString("name", "Memory");
    EXPECT_EQ(unwritable.string("name"), "Memory");
}

TEST_F(Settings, EveryControlComesBackAtTheNextStartAsTyped) {
    {
        const auto first = launch();
        for (const auto& [key, text] : {std::pair{"runtime", "/runtimes/nwjs.zip"},
                                        {"profile", "team"},
                                        {"version", ""},
                                        {"name", "  Padded App \t"}})
            first->fields.at(key)->setText(text);
        first->arch->setCurrentIndex(1);
        click(*first, "notary");
        click(*first, "hide");
    }
    const auto second = launch();
    EXPECT_EQ(second->fields.at("runtime")->text(), "/runtimes/nwjs.zip");
    EXPECT_EQ(second->fields.at("profile")->text(), "team");
    EXPECT_EQ(second->fields.at("version")->text(), "");
    EXPECT_EQ(second->fields.at("name")->text(), "  Padded App \t");
    EXPECT_EQ(second->text("name"), "Padded App");
    EXPECT_EQ(second->arch->currentIndex(), 1);
    EXPECT_TRUE(second->on("notary") && second->on("sign") && !second->on("hide"));
    EXPECT_TRUE(second->fields.at("profile")->isEnabled());
}

// A value of the wrong type falls back to the control's initial value; of both
// frame options, the close-button variant wins.
TEST_F(Settings, SavedValuesOpenAsTheRulesAllow) {
    saved().setValues({{"final.auto", std::string("false")},
                       {"final.top", std::int64_t{1}},
                       {"final.version", true},
                       {"final.arch", std::string("1")},
                       {"final.frameless", true},
                       {"final.close", true}});
    const auto delegate = launch();
    EXPECT_TRUE(delegate->on("auto") && !delegate->on("top") && !delegate->on("frameless") &&
                delegate->on("close"));
    EXPECT_EQ(delegate->fields.at("version")->text(), "1.0.0");
    EXPECT_EQ(delegate->arch->currentIndex(), 0);
}

} // namespace
} // namespace bundlekiln::app::testing
