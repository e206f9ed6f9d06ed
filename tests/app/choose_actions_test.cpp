// The "Choose…" buttons: which panel each opens and what a chosen item does.
#include "delegate_fixture.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::writeFile;

using ChooseActions = DelegateTest;

/// Presses the "Choose…" button of the row that holds the field `key`.
void pressChooseButton(AppDelegate& delegate, const std::string& key) {
    auto* row = delegate.fields.at(key)->parentWidget();
    auto* button = row->findChild<QPushButton*>();
    ASSERT_NE(button, nullptr) << key;
    button->click();
}

// Each panel starts at its field's item when that exists, otherwise at home.
TEST_F(ChooseActions, EachButtonOpensItsOwnKindOfPanelAtItsField) {
    writeFile(folder / "site/index.html", "x");
    std::filesystem::create_directories(downloads());
    const auto delegate = launch();
    delegate->fields.at("project")->setText(QString::fromStdString((folder / "site/").string()));
    delegate->fields.at("runtime")->setText("/no/such/runtime.zip");
    for (const char* key : {"project", "runtime", "icon", "output"}) pressChooseButton(*delegate, key);
    const PanelPlace home{QDir::homePath().toStdString(), std::nullopt};
    const std::vector<PanelRequest> expected = {
        {true, true, {"html", "htm"}, "Choose Project", {folder.path(), folder / "site"}},
        {true, true, {"zip", "app"}, "Choose NW.js Runtime", home},
        {true, false, {"png", "icns"}, "Choose Icon", home},
        {false, false, {}, "Choose Output Folder", {folder.path(), downloads()}},
    };
    EXPECT_EQ(panelRequests, expected);
}

TEST_F(ChooseActions, AChosenPathFillsItsFieldAndIsSavedAtOnceWithoutAnyCheck) {
    const auto delegate = launch();
    panelAnswers = {folder / "no/such/runtime.zip", folder / "icon.png",
                    std::filesystem::path("/out/folder/")};
    pressChooseButton(*delegate, "runtime");
    pressChooseButton(*delegate, "icon");
    pressChooseButton(*delegate, "output");
    const SettingsStore saved(delegate->defaults.file());
    EXPECT_EQ(saved.string("final.runtime"), (folder / "no/such/runtime.zip").string());
    EXPECT_EQ(saved.string("final.icon"), (folder / "icon.png").string());
    EXPECT_EQ(saved.string("final.output"), "/out/folder");
    EXPECT_EQ(delegate->status->text(), "Drop an HTML file or project folder to begin.");
}

TEST_F(ChooseActions, AChosenProjectIsValidated) {
    writeFile(folder / "game/index.html", "<p>x</p>");
    const auto delegate = launch();
    panelAnswers = {folder / "game"};
    pressChooseButton(*delegate, "project");
    EXPECT_EQ(delegate->fields.at("bundle")->text(), "com.local.game");
}

TEST_F(ChooseActions, ACancelledPanelChangesNothing) {
    const auto delegate = launch();
    for (const char* key : {"project", "runtime", "icon", "output"}) pressChooseButton(*delegate, key);
    EXPECT_EQ(delegate->fields.at("output")->text().toStdString(), downloads().string());
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
    EXPECT_EQ(beeps, 0);
}

} // namespace
} // namespace bundlekiln::app::testing
