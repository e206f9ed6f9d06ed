#include "open_panel.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln::app {
namespace {

QString qt(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Confirming a selected folder chooses it in a panel for files and folders
// and for folders alone; a files-only panel steps into it instead.
TEST(OpenPanel, ConfirmingChoosesWhatThePanelMayChooseAndStepsIntoOtherFolders) {
    bundlekiln::testing::TemporaryFolder folder;
    bundlekiln::testing::writeFile(folder / "site/page.html", "x");
    struct Case {
        bool files, directories;
        std::filesystem::path item;
        bool chosen;
    };
    for (const Case& c :
         {Case{true, true, folder / "site", true}, Case{true, true, folder / "site/page.html", true},
          Case{true, false, folder / "site", false}, Case{false, false, folder / "site", true}}) {
        OpenPanel panel(PanelRequest{c.files, c.directories, {"html"}, {}, {}});
        panel.setDirectory(qt(c.item.parent_path()));
        panel.selectFile(qt(c.item));
        panel.accept();
        EXPECT_EQ(panel.result() == QDialog::Accepted ? panel.selectedFiles().value(0) : "",
                  c.chosen ? qt(c.item) : "")
            << c.files << c.directories << c.item;
        EXPECT_TRUE(c.chosen || panel.directory().absolutePath() == qt(c.item));
    }
}

TEST(OpenPanel, OpensTitledAtItsPlace) {
    bundlekiln::testing::TemporaryFolder folder;
    bundlekiln::testing::writeFile(folder / "runtimes/nwjs.zip", "x");
    OpenPanel panel(PanelRequest{true,
                                 true,
                                 {"zip"},
                                 "Choose NW.js Runtime",
                                 panelPlace((folder / "runtimes/nwjs.zip").string(), "/")});
    EXPECT_EQ(panel.windowTitle(), "Choose NW.js Runtime");
    EXPECT_EQ(panel.directory().absolutePath(), qt(folder / "runtimes"));
    EXPECT_EQ(panel.selectedFiles(), QStringList{qt(folder / "runtimes/nwjs.zip")});
    EXPECT_EQ(panelPlace((folder / "runtimes/").string(), "/home"),
              (PanelPlace{folder.path(), folder / "runtimes"}));
    EXPECT_EQ(panelPlace((folder / "missing.zip").string(), "/home"), (PanelPlace{"/home", std::nullopt}));
}

} // namespace
} // namespace bundlekiln::app
