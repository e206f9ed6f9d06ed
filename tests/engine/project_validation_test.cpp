#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;
using testing::writeFile;

const std::string missingMain = "package.json is missing a non-empty \u2018main\u2019 value.";

/// "name|main" of the accepted project, or the refusal.
std::string outcome(const std::filesystem::path& project) {
    return outcomeOf([&] {
        const Manifest manifest = Kilnsmith().validateProject(project);
        return manifest.value("name", "") + "|" + manifest.value("main", "");
    });
}

TEST(ProjectValidation, PagesAndFoldersOfPages) {
    const std::string chooseProject = "Choose an HTML file or project folder.";
    const std::string needsPage = "This folder needs index.html, a single HTML file, or package.json. "
                                  "You can also choose the desired HTML file directly.";
    TemporaryFolder folder;
    for (const char* file :
         {"page.HTM", "My Game.HTML", "page.xhtml", "readme.txt", "site/about.html", "site/INDEX.HTML",
          "single/about.htm", "single/notes.txt", "two/a.html", "two/b.html", "nested/web/index.html"})
        writeFile(folder / file, "");
    std::filesystem::create_directories(folder / "empty");
    std::filesystem::create_directories(folder / "named/help.html");
    const std::pair<const char*, std::string> cases[] = {
        {"page.HTM", "page|page.HTM"},
        {"My Game.HTML", "My Game|My Game.HTML"},
        {"page.xhtml", chooseProject},
        {"readme.txt", chooseProject},
        {"missing.html", chooseProject},
        {"site", "site|INDEX.HTML"},
        {"single", "single|about.htm"},
        {"named", "named|help.html"},
        {"two", needsPage},
        {"nested", needsPage},
        {"empty", needsPage},
    };
    for (const auto& [project, expected] : cases) EXPECT_EQ(outcome(folder / project), expected) << project;
}

TEST(ProjectValidation, PackageJSONWinsOverPagesAndItsMainIsChecked) {
    const auto nested = [](int depth) {
        return R"({"main":"index.html","x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') +
               "}";
    };
    const std::pair<std::string, std::string> cases[] = {
        {R"({"name":"x","main":"app.html"})", "x|app.html"},
        {R"({"main":"index.html?debug=1#top"})", "|index.html?debug=1#top"},
        {R"({"main":"https://example.com/app"})", "|https://example.com/app"},
        {R"({"main":"weird://x"})", "|weird://x"},
        {nested(maximumManifestDepth), "|index.html"},
        {nested(maximumManifestDepth + 1),
         "package.json nests arrays and objects more than 512 levels deep."},
        {R"([1,2])", "package.json must contain a JSON object."},
        {R"({"main":5})", missingMain},
        {R"({"main":""})", missingMain},
        {R"({"main":null})", missingMain},
        {R"({"name":"x"})", missingMain},
        {R"({"main":"gone.html?debug=1#top"})",
         "package.json points to \u2018gone.html?debug=1#top\u2019, but that file is missing."},
        {"{ not json", "package.json is not valid JSON: unexpected character at line 1, column 4."},
        {"{\n  \"main\": 1e999999\n}",
         "package.json is not valid JSON: number out of range at line 2, column 18."},
        {R"({"main":"a)", "package.json is not valid JSON: unexpected end of text at line 1, column 11."},
    };
    TemporaryFolder folder;
    writeFile(folder / "p/index.html", "");
    writeFile(folder / "p/app.html", "");
    for (const auto& [json, expected] : cases) {
        writeFile(folder / "p/package.json", json);
        EXPECT_EQ(outcome(folder / "p"), expected) << json.substr(0, 80);
    }
}

} // namespace
} // namespace bundlekiln
