// The "Choose…" buttons: what a chosen or cancelled panel does.
#include "delegate_fixture.h"
#include "project_selection.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bundlekiln::app::testing {
namespace {

using ChooseActions = DelegateTest;

/// Presses the "Choose…" button of the row that holds each field of `keys`.
void pressChooseButtons(AppDelegate& delegate) {
    for (const char* key : {"project", "runtime", "icon", "output"}) {
        auto* button = delegate.fields.at(key)->parentWidget()->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr) << key;
        button->click();
    }
}

// A chosen project is validated; any other chosen path is taken as it is.
TEST_F(ChooseActions, AChosenItemFillsItsFieldAndIsSavedAtOnceACancelledPanelChangesNothing) {
    bundlekiln::testing::writeFile(folder / "game/index.html", "<p>x</p>");
    const auto delegate = launch();
    pressChooseButtons(*delegate);
    EXPECT_EQ(delegate->fields.at("output")->text().toStdString(), downloads().string());
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
    panelAnswers = {folder / "game", folder / "no/such/runtime.zip", folder / "icon.png",
                    std::filesystem::path("/out/folder/")};
    pressChooseButtons(*delegate);
    EXPECT_EQ(delegate->fields.at("bundle")->text(), "com.local.game");
    const SettingsStore store = saved();
    EXPECT_EQ(store.string("final.runtime"), (folder / "no/such/runtime.zip").string());
    EXPECT_EQ(store.string("final.icon"), (folder / "icon.png").string());
    EXPECT_EQ(store.string("final.output"), "/out/folder");
    EXPECT_EQ(delegate->status->text().toStdString(), projectReadyMessage);
    EXPECT_EQ(beeps, 0);
}

} // namespace
} // namespace bundlekiln::app::testing
