// Settings that one window saves and the next one restores.
#include "delegate_fixture.h"

#include <QComboBox>
#include <QLineEdit>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::writeFile;

using SettingsRoundTrip = DelegateTest;

SettingsStore standardStore() {
    return SettingsStore::forSuite(AppDelegate::standardSuite);
}

TEST_F(SettingsRoundTrip, EveryControlComesBackAtTheNextStart) {
    {
        const auto first = launch();
        first->fields.at("runtime")->setText("/runtimes/nwjs.zip");
        first->fields.at("output")->setText("/out");
        first->fields.at("profile")->setText("team");
        first->arch->setCurrentIndex(1);
        click(*first, "notary");
        click(*first, "hide");
    }
    const auto second = launch();
    EXPECT_EQ(second->fields.at("runtime")->text(), "/runtimes/nwjs.zip");
    EXPECT_EQ(second->fields.at("output")->text(), "/out");
    EXPECT_EQ(second->fields.at("profile")->text(), "team");
    EXPECT_EQ(second->arch->currentIndex(), 1);
    EXPECT_TRUE(second->on("notary"));
    EXPECT_TRUE(second->on("sign"));
    EXPECT_FALSE(second->on("hide"));
    EXPECT_TRUE(second->fields.at("profile")->isEnabled());
}

TEST_F(SettingsRoundTrip, AnEmptyVersionStaysEmptyAndBlanksAreKeptUntilRead) {
    {
        const auto first = launch();
        first->fields.at("version")->setText("");
        first->fields.at("name")->setText("  Padded App \t");
        first->save();
    }
    const auto second = launch();
    EXPECT_EQ(second->fields.at("version")->text(), "");
    EXPECT_EQ(second->fields.at("name")->text(), "  Padded App \t");
    EXPECT_EQ(second->text("name"), "Padded App");
}

TEST_F(SettingsRoundTrip, BothFrameOptionsSavedOnOpenWithOnlyTheCloseVariant) {
    standardStore().setValues({{"final.frameless", true}, {"final.close", true}});
    const auto delegate = launch();
    EXPECT_FALSE(delegate->on("frameless"));
    EXPECT_TRUE(delegate->on("close"));
}

TEST_F(SettingsRoundTrip, AValueOfTheWrongTypeFallsBackToTheInitialValue) {
    standardStore().setValues({{"final.auto", std::string("false")},
                               {"final.top", std::int64_t{1}},
                               {"final.version", true},
                               {"final.arch", std::string("1")}});
    const auto delegate = launch();
    EXPECT_TRUE(delegate->on("auto"));
    EXPECT_FALSE(delegate->on("top"));
    EXPECT_EQ(delegate->fields.at("version")->text(), "1.0.0");
    EXPECT_EQ(delegate->arch->currentIndex(), 0);
}

TEST_F(SettingsRoundTrip, ACorruptFileOpensTheInitialWindowAndIsReplacedAtTheNextSave) {
    const auto file = SettingsStore::suiteFile(AppDelegate::standardSuite);
    writeFile(file, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>final.bundle</key><str");
    const auto delegate = launch();
    EXPECT_EQ(delegate->fields.at("bundle")->text(), "com.local.myapp");
    click(*delegate, "zip");
    EXPECT_EQ(standardStore().boolean("final.zip"), true);
    EXPECT_EQ(standardStore().string("final.bundle"), "com.local.myapp");
}

TEST_F(SettingsRoundTrip, TheSelfTestSuiteLeavesTheStandardStoreUntouched) {
    {
        const auto normal = launch();
        normal->fields.at("name")->setText("Mine");
        normal->save();
    }
    const auto file = SettingsStore::suiteFile(AppDelegate::standardSuite);
    const std::string before = readFile(file);
    {
        const auto selfTest = launch({"bundlekiln", "--self-test-ui", "/tmp/shot.png"});
        EXPECT_EQ(selfTest->fields.at("name")->text(), "");
        selfTest->fields.at("name")->setText("Test Run");
        click(*selfTest, "frameless");
        selfTest->window->close();
    }
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(SettingsStore::forSuite(AppDelegate::selfTestSuite).string("final.name"), "Test Run");
}

} // namespace
} // namespace bundlekiln::app::testing
