#include "open_panel.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln::app {
namespace {

using bundlekiln::testing::TemporaryFolder;
using bundlekiln::testing::writeFile;

QString qt(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

/// Selects `item` in the panel and presses its confirm button; answers what
/// the panel chose, or nothing when it stayed open.
QString confirm(OpenPanel& panel, const std::filesystem::path& item) {
    panel.setDirectory(qt(item.parent_path()));
    panel.selectFile(qt(item));
    panel.accept();
    return panel.result() == QDialog::Accepted ? panel.selectedFiles().value(0) : QString();
}

TEST(OpenPanel, AFilesAndFoldersPanelChoosesEither) {
    TemporaryFolder folder;
    writeFile(folder / "site/page.html", "x");
    OpenPanel forFolder(PanelRequest{true, true, {"html", "htm"}, {}, {}});
    EXPECT_EQ(confirm(forFolder, folder / "site"), qt(folder / "site"));
    OpenPanel forFile(PanelRequest{true, true, {"html", "htm"}, {}, {}});
    EXPECT_EQ(confirm(forFile, folder / "site/page.html"), qt(folder / "site/page.html"));
}

TEST(OpenPanel, AFilesOnlyPanelStepsIntoAFolderInsteadOfChoosingIt) {
    TemporaryFolder folder;
    writeFile(folder / "icons/app.png", "x");
    OpenPanel panel(PanelRequest{true, false, {"png", "icns"}, {}, {}});
    EXPECT_EQ(confirm(panel, folder / "icons"), "");
    EXPECT_EQ(panel.directory().absolutePath(), qt(folder / "icons"));
    EXPECT_EQ(panel.nameFilters(), QStringList{"Files (*.png *.icns)"});
}

TEST(OpenPanel, AFoldersOnlyPanelShowsAndChoosesFolders) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "out");
    OpenPanel panel(PanelRequest{false, false, {}, {}, {}});
    EXPECT_EQ(panel.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(panel.testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(confirm(panel, folder / "out"), qt(folder / "out"));
}

TEST(OpenPanel, OpensTitledAtItsPlace) {
    TemporaryFolder folder;
    writeFile(folder / "runtimes/nwjs.zip", "x");
    OpenPanel panel(PanelRequest{true,
                                 true,
                                 {"zip"},
                                 "Choose NW.js Runtime",
                                 panelPlace((folder / "runtimes/nwjs.zip").string(), "/")});
    EXPECT_EQ(panel.windowTitle(), "Choose NW.js Runtime");
    EXPECT_EQ(panel.directory().absolutePath(), qt(folder / "runtimes"));
    EXPECT_EQ(panel.selectedFiles(), QStringList{qt(folder / "runtimes/nwjs.zip")});
}

} // namespace
} // namespace bundlekiln::app
