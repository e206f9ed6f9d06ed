// Choosing a project: validation by the engine, the pre-filled fields, the
// error display and what is saved.
#include "delegate_fixture.h"
#include "project_selection.h"

#include <QLabel>
#include <QLineEdit>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::writeFile;

class ProjectSelection : public DelegateTest {
protected:
    struct Filled {
        std::string project, name, version, bundle;
    };

    Filled select(const std::filesystem::path& project) {
        delegate->selectProject(project);
        return {text("project"), text("name"), text("version"), text("bundle")};
    }
    std::string text(const std::string& key) { return delegate->fields.at(key)->text().toStdString(); }

    std::unique_ptr<AppDelegate> delegate = launch();
};

TEST_F(ProjectSelection, AnHTMLFileNamesTheAppAfterItself) {
    writeFile(folder / "site/page.html", "<p>hi</p>");
    const Filled filled = select(folder / "site/page.html");
    EXPECT_EQ(filled.project, (folder / "site/page.html").string());
    EXPECT_EQ(filled.name, "page");
    EXPECT_EQ(filled.version, "1.0.0");
    EXPECT_EQ(filled.bundle, "com.local.page");
    EXPECT_EQ(delegate->status->text().toStdString(), projectReadyMessage);
    EXPECT_EQ(SettingsStore(delegate->defaults.file()).string("final.project"), filled.project);
    EXPECT_EQ(beeps, 0);
}

TEST_F(ProjectSelection, AFolderIsNamedAfterItselfAndItsTrailingSlashIsDropped) {
    writeFile(folder / "My Game/index.html", "<p>game</p>");
    const Filled filled = select((folder / "My Game").string() + "/");
    EXPECT_EQ(filled.project, (folder / "My Game").string());
    EXPECT_EQ(filled.name, "My Game");
    EXPECT_EQ(filled.bundle, "com.local.mygame");
}

TEST_F(ProjectSelection, APackageProjectBringsItsOwnNameAndVersionOverTypedOnes) {
    writeFile(folder / "cool/index.html", "<p>cool</p>");
    writeFile(folder / "cool/package.json",
              R"({"name": "Cool-App_2", "version": "2.1.0", "main": "index.html"})");
    delegate->fields.at("name")->setText("Typed Over");
    delegate->fields.at("runtime")->setText("/kept/runtime.zip");
    const Filled filled = select(folder / "cool");
    EXPECT_EQ(filled.name, "Cool-App_2");
    EXPECT_EQ(filled.version, "2.1.0");
    EXPECT_EQ(filled.bundle, "com.local.coolapp2");
    EXPECT_EQ(text("runtime"), "/kept/runtime.zip");
    EXPECT_EQ(SettingsStore(delegate->defaults.file()).string("final.bundle"), "com.local.coolapp2");
}

TEST_F(ProjectSelection, WithoutAStringNameTheFolderNameLosesItsExtension) {
    writeFile(folder / "my.project/index.html", "<p>x</p>");
    writeFile(folder / "my.project/package.json", R"({"name": 5, "version": 3, "main": "index.html"})");
    const Filled filled = select(folder / "my.project");
    EXPECT_EQ(filled.name, "my");
    EXPECT_EQ(filled.version, "1.0.0");
    EXPECT_EQ(filled.bundle, "com.local.my");
}

TEST_F(ProjectSelection, ANameWithoutLettersOrDigitsGetsTheFallbackIdentifier) {
    writeFile(folder / "!!!/index.html", "<p>x</p>");
    EXPECT_EQ(select(folder / "!!!").bundle, "com.local.nwapp");
}

TEST_F(ProjectSelection, ARefusedFileShowsTheErrorBeepsAndChangesNothing) {
    writeFile(folder / "site/page.html", "<p>hi</p>");
    writeFile(folder / "notes.txt", "text");
    select(folder / "site/page.html");
    delegate->fields.at("name")->setText("Typed");
    const std::string storedBefore = readFile(delegate->defaults.file());
    const Filled filled = select(folder / "notes.txt");
    EXPECT_EQ(delegate->status->text(), "Error: Choose an HTML file or project folder.");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(filled.project, (folder / "site/page.html").string());
    EXPECT_EQ(filled.name, "Typed");
    EXPECT_EQ(readFile(delegate->defaults.file()), storedBefore);
}

TEST_F(ProjectSelection, ABrokenPackageJSONIsRefusedWithTheParsersReason) {
    writeFile(folder / "broken/package.json", "{\"main\": ");
    select(folder / "broken");
    EXPECT_TRUE(delegate->status->text().startsWith("Error: ")) << delegate->status->text().toStdString();
    EXPECT_GT(delegate->status->text().size(), 8);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(text("project"), "");
    EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
}

} // namespace
} // namespace bundlekiln::app::testing
