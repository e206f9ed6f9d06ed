// Choosing a project: validation by the engine, the fields it fills in with
// the bundle identifier derived from the name, and what is saved.
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
    /// The project, name, version and bundle fields after selecting `project`.
    std::vector<std::string> select(const std::filesystem::path& project) {
        delegate->selectProject(project);
        return filled();
    }
    std::vector<std::string> filled() {
        return {text("project"), text("name"), text("version"), text("bundle")};
    }
    std::string text(const std::string& key) { return delegate->fields.at(key)->text().toStdString(); }

    std::unique_ptr<AppDelegate> delegate = launch();
};

// A package's string name and version win over what was typed; otherwise the
// file or folder name without its extension, and 1.0.0.
TEST_F(ProjectSelection, FillsTheNameVersionAndBundleIdentifierAndSavesThem) {
    struct Case {
        std::string project, package, name, version, bundle;
    };
    const Case cases[] = {
        {"site/page.html", "", "page", "1.0.0", "com.local.page"},
        {"My Game/", "", "My Game", "1.0.0", "com.local.mygame"},
        {"my.project", R"({"name": 5, "version": 3})", "my", "1.0.0", "com.local.my"},
        {"!!!", "", "!!!", "1.0.0", "com.local.nwapp"},
        {"p1", R"({"name": "Cool-App_2", "version": "2.1.0"})", "Cool-App_2", "2.1.0", "com.local.coolapp2"},
        {"p2", R"({"name": "  Spaced\n"})", "  Spaced\n", "1.0.0", "com.local.spaced"},
        {"p3", R"({"name": "Caf\u00e9 Ol\u00e9 9"})", "Caf\u00e9 Ol\u00e9 9", "1.0.0", "com.local.cafol9"},
        {"p4", R"({"name": "\u00c4BC"})", "\u00c4BC", "1.0.0", "com.local.bc"},
        // The Kelvin sign lower-cases to an ASCII k.
        {"p5", R"({"name": "\u212a"})", "\u212a", "1.0.0", "com.local.k"},
        {"p6", R"({"name": "\u65e5\u672c\u8a9e"})", "\u65e5\u672c\u8a9e", "1.0.0", "com.local.nwapp"},
        {"p7", R"({"name": ""})", "", "1.0.0", "com.local.nwapp"},
    };
    delegate->fields.at("runtime")->setText("/kept/runtime.zip");
    for (const Case& c : cases) {
        const auto project = folder / c.project;
        const bool page = project.extension() == ".html";
        writeFile(page ? project : project / "index.html", "<p>x</p>");
        if (!c.package.empty())
            writeFile(project / "package.json",
                      c.package.substr(0, c.package.size() - 1) + R"(, "main": "index.html"})");
        delegate->fields.at("name")->setText("Typed Over");
        std::string chosen = project.string();
        if (chosen.ends_with('/')) chosen.pop_back();
        EXPECT_EQ(select(project), (std::vector<std::string>{chosen, c.name, c.version, c.bundle}));
        EXPECT_EQ(delegate->status->text().toStdString(), projectReadyMessage);
        EXPECT_EQ(saved().string("final.bundle"), c.bundle);
        EXPECT_EQ(saved().string("final.project"), chosen);
    }
    EXPECT_EQ(text("runtime"), "/kept/runtime.zip");
    EXPECT_EQ(beeps, 0);
}

TEST_F(ProjectSelection, ARefusedProjectShowsTheReasonBeepsAndChangesNothing) {
    writeFile(folder / "site/page.html", "<p>hi</p>");
    writeFile(folder / "notes.txt", "text");
    writeFile(folder / "broken/package.json", "{\"main\": ");
    const auto before = select(folder / "site/page.html");
    delegate->fields.at("name")->setText("Typed");
    const std::string storedBefore = readFile(delegate->defaults.file());
    select(folder / "notes.txt");
    EXPECT_EQ(delegate->status->text(), "Error: Choose an HTML file or project folder.");
    select(folder / "broken");
    EXPECT_TRUE(delegate->status->text().startsWith("Error: package.json is not valid JSON"));
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(filled(), (std::vector<std::string>{before[0], "Typed", before[2], before[3]}));
    EXPECT_EQ(readFile(delegate->defaults.file()), storedBefore);
}

} // namespace
} // namespace bundlekiln::app::testing
