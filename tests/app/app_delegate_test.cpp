// The window on a first start, the rules between its checkboxes and quitting,
// driven through the real controls.
#include "delegate_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <set>

namespace bundlekiln::app::testing {
namespace {

using FirstStart = DelegateTest;
using CheckboxRules = DelegateTest;
using Quitting = DelegateTest;

const std::vector<std::string> fieldKeys = {"project", "name",  "version", "bundle",   "runtime", "icon",
                                            "output",  "width", "height",  "identity", "profile"};
const std::vector<std::string> checkKeys = {"auto",  "resizable", "center", "top",  "hide",  "frameless",
                                            "close", "zip",       "dmg",    "sign", "notary"};

TEST_F(FirstStart, ShowsTheInitialValueOfEveryControl) {
    const auto delegate = launch();
    const std::map<std::string, std::string> texts = {{"project", ""},
                                                      {"name", ""},
                                                      {"version", "1.0.0"},
                                                      {"bundle", "com.local.myapp"},
                                                      {"runtime", ""},
                                                      {"icon", ""},
                                                      {"output", downloads().string()},
                                                      {"width", "900"},
                                                      {"height", "700"},
                                                      {"identity", ""},
                                                      {"profile", ""}};
    ASSERT_EQ(delegate->fields.size(), texts.size());
    for (const auto& [key, text] : texts)
        EXPECT_EQ(delegate->fields.at(key)->text().toStdString(), text) << key;
    const std::set<std::string> onKeys = {"auto", "resizable", "center", "hide"};
    ASSERT_EQ(delegate->checks.size(), checkKeys.size());
    for (const auto& [key, box] : delegate->checks) {
        EXPECT_EQ(box->isChecked(), onKeys.count(key) == 1) << key;
        EXPECT_EQ(box->objectName().toStdString(), key);
    }
    ASSERT_EQ(delegate->arch->count(), 2);
    EXPECT_EQ(delegate->arch->currentIndex(), 0);
    EXPECT_EQ(delegate->arch->itemText(0), "Apple Silicon (arm64)");
    EXPECT_EQ(delegate->arch->itemText(1), "Intel (x64)");
    EXPECT_EQ(delegate->status->text(), "Drop an HTML file or project folder to begin.");
    EXPECT_EQ(delegate->buildButton->text(), "Build Mac App");
    EXPECT_EQ(delegate->downloadButton->text(), "Get cached / download NW.js 0.115.0");
}

TEST_F(FirstStart, GreysTheDependentFieldsOnly) {
    const auto delegate = launch();
    for (const auto& [key, edit] : delegate->fields) {
        const bool dependent = key == "width" || key == "height" || key == "identity" || key == "profile";
        EXPECT_EQ(edit->isEnabled(), !dependent) << key;
    }
    for (const auto& [key, box] : delegate->checks) EXPECT_TRUE(box->isEnabled()) << key;
}

TEST_F(FirstStart, OpensTheWindowAtItsSizeWithItsMinimumAndTitle) {
    const auto delegate = launch();
    EXPECT_TRUE(delegate->window->isVisible());
    EXPECT_EQ(delegate->window->size(), QSize(780, 850));
    EXPECT_EQ(delegate->window->minimumSize(), QSize(700, 600));
    EXPECT_EQ(delegate->window->windowTitle(), "Bundlekiln ZEVEV v4.6");
}

TEST_F(FirstStart, WritesNothingUntilSomethingIsSaved) {
    const auto delegate = launch();
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
}

TEST_F(CheckboxRules, FrameOptionsExcludeEachOtherBothWays) {
    const auto delegate = launch();
    click(*delegate, "close");
    click(*delegate, "frameless");
    EXPECT_TRUE(delegate->on("frameless"));
    EXPECT_FALSE(delegate->on("close"));
    click(*delegate, "close");
    EXPECT_FALSE(delegate->on("frameless"));
    EXPECT_TRUE(delegate->on("close"));
    EXPECT_EQ(delegate->defaults.boolean("final.frameless"), false);
    EXPECT_EQ(delegate->defaults.boolean("final.close"), true);
    click(*delegate, "close");
    EXPECT_FALSE(delegate->on("frameless"));
    EXPECT_FALSE(delegate->on("close"));
}

TEST_F(CheckboxRules, NotarizingTurnsSigningOnAndSigningOffTurnsNotarizingOff) {
    const auto delegate = launch();
    click(*delegate, "notary");
    EXPECT_TRUE(delegate->on("sign"));
    EXPECT_TRUE(delegate->fields.at("identity")->isEnabled());
    EXPECT_TRUE(delegate->fields.at("profile")->isEnabled());
    click(*delegate, "sign");
    EXPECT_FALSE(delegate->on("notary"));
    EXPECT_FALSE(delegate->fields.at("identity")->isEnabled());
    EXPECT_FALSE(delegate->fields.at("profile")->isEnabled());
}

TEST_F(CheckboxRules, AutoSizeOffEnablesTheSizeFieldsWithTheirTextUnchanged) {
    const auto delegate = launch();
    delegate->fields.at("width")->setText("1024");
    click(*delegate, "auto");
    EXPECT_TRUE(delegate->fields.at("width")->isEnabled());
    EXPECT_TRUE(delegate->fields.at("height")->isEnabled());
    EXPECT_EQ(delegate->fields.at("width")->text(), "1024");
    EXPECT_EQ(delegate->fields.at("height")->text(), "700");
    click(*delegate, "auto");
    EXPECT_FALSE(delegate->fields.at("width")->isEnabled());
    EXPECT_EQ(delegate->defaults.string("final.width"), "1024");
}

TEST_F(CheckboxRules, EveryClickSavesAllKeysWithTheFieldsEditedBeforeIt) {
    const auto delegate = launch();
    delegate->fields.at("name")->setText("Edited First");
    delegate->arch->setCurrentIndex(1);
    click(*delegate, "top");
    const SettingsStore reread(delegate->defaults.file());
    for (const auto& key : fieldKeys) EXPECT_TRUE(reread.string("final." + key)) << key;
    for (const auto& key : checkKeys) EXPECT_TRUE(reread.boolean("final." + key)) << key;
    EXPECT_EQ(reread.string("final.name"), "Edited First");
    EXPECT_EQ(reread.boolean("final.top"), true);
    EXPECT_EQ(reread.boolean("final.auto"), true);
    EXPECT_EQ(reread.integer("final.arch"), 1);
}

TEST_F(Quitting, ClosingTheWindowSavesWhatWasTypedSinceTheLastSave) {
    const auto delegate = launch();
    delegate->fields.at("identity")->setText("Developer ID Application: Me");
    EXPECT_TRUE(delegate->window->close());
    EXPECT_EQ(SettingsStore(delegate->defaults.file()).string("final.identity"),
              "Developer ID Application: Me");
}

TEST_F(Quitting, IsRefusedWhileBusyAndSavesNothing) {
    const auto delegate = launch();
    delegate->active = true;
    EXPECT_FALSE(delegate->window->close());
    EXPECT_TRUE(delegate->window->isVisible());
    EXPECT_EQ(delegate->status->text(), "Please wait for the current build or download to finish.");
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
}

} // namespace
} // namespace bundlekiln::app::testing
