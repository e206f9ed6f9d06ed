#include "builder_error.h"
#include "kilnsmith.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;
using testing::writeFile;

const std::string chooseProject = "Choose an HTML file or project folder.";
const std::string needsPage = "This folder needs index.html, a single HTML file, or package.json. "
                              "You can also choose the desired HTML file directly.";
const std::string missingMain = "package.json is missing a non-empty \u2018main\u2019 value.";

std::string refusal(const std::filesystem::path& project) {
    try {
        Kilnsmith().validateProject(project);
    } catch (const BuilderError& error) {
        return error.message();
    }
    return "accepted";
}

Manifest manifestOf(const std::filesystem::path& project) {
    return Kilnsmith().validateProject(project);
}

TEST(ProjectValidation, SingleFilesByExtension) {
    TemporaryFolder folder;
    writeFile(folder / "page.HTM", "");
    writeFile(folder / "My Game.HTML", "");
    writeFile(folder / "page.xhtml", "");
    writeFile(folder / "readme.txt", "");
    EXPECT_EQ(manifestOf(folder / "page.HTM"), (Manifest{{"name", "page"}, {"main", "page.HTM"}}));
    EXPECT_EQ(manifestOf(folder / "My Game.HTML"), (Manifest{{"name", "My Game"}, {"main", "My Game.HTML"}}));
    EXPECT_EQ(refusal(folder / "page.xhtml"), chooseProject);
    EXPECT_EQ(refusal(folder / "readme.txt"), chooseProject);
    EXPECT_EQ(refusal(folder / "missing.html"), chooseProject);
}

TEST(ProjectValidation, HTMLFolderChoosesIndexOrTheOnlyPage) {
    TemporaryFolder folder;
    writeFile(folder / "site/about.html", "");
    writeFile(folder / "site/INDEX.HTML", "");
    writeFile(folder / "single/about.htm", "");
    writeFile(folder / "single/notes.txt", "");
    writeFile(folder / "two/a.html", "");
    writeFile(folder / "two/b.html", "");
    writeFile(folder / "nested/web/index.html", "");
    std::filesystem::create_directories(folder / "empty");
    EXPECT_EQ(manifestOf(folder / "site"), (Manifest{{"name", "site"}, {"main", "INDEX.HTML"}}));
    EXPECT_EQ(manifestOf(folder / "single"), (Manifest{{"name", "single"}, {"main", "about.htm"}}));
    EXPECT_EQ(refusal(folder / "two"), needsPage);
    EXPECT_EQ(refusal(folder / "nested"), needsPage);
    EXPECT_EQ(refusal(folder / "empty"), needsPage);
}

TEST(ProjectValidation, AFolderNamedLikeAPageCountsAsAPage) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "site/help.html");
    EXPECT_EQ(manifestOf(folder / "site")["main"], "help.html");
}

TEST(ProjectValidation, PackageJSONWinsAndIsReturnedWhole) {
    TemporaryFolder folder;
    writeFile(folder / "app/index.html", "");
    writeFile(folder / "app/app.html", "");
    writeFile(folder / "app/package.json",
              R"({"name":"x","version":"2.0.0","main":"app.html","window":{"width":10},"custom":[1,2.5]})");
    const Manifest manifest = manifestOf(folder / "app");
    EXPECT_EQ(manifest["main"], "app.html");
    EXPECT_EQ(manifest["custom"], Manifest::parse("[1,2.5]"));
    EXPECT_EQ(manifest.size(), 5u);
}

TEST(ProjectValidation, MainValuesThatAreRefused) {
    TemporaryFolder folder;
    const std::pair<std::string, std::string> cases[] = {
        {R"([1,2])", "package.json must contain a JSON object."},
        {R"({"main":5})", missingMain},
        {R"({"main":""})", missingMain},
        {R"({"main":null})", missingMain},
        {R"({"name":"x"})", missingMain},
        {R"({"main":"index.html?debug=1#top"})",
         "package.json points to \u2018index.html?debug=1#top\u2019, but that file is missing."},
        {"{ not json", "package.json is not valid JSON: unexpected character at line 1, column 4."},
        {"{\n  \"main\": 1e999999\n}",
         "package.json is not valid JSON: number out of range at line 2, column 18."},
        {R"({"main":"a)", "package.json is not valid JSON: unexpected end of text at line 1, column 11."},
    };
    for (const auto& [json, message] : cases) {
        writeFile(folder / "p/package.json", json);
        EXPECT_EQ(refusal(folder / "p"), message) << json;
    }
}

TEST(ProjectValidation, MainKeepsQueryAndFragmentOutOfTheFileCheck) {
    TemporaryFolder folder;
    writeFile(folder / "p/index.html", "");
    writeFile(folder / "p/package.json", R"({"main":"index.html?debug=1#top"})");
    EXPECT_EQ(manifestOf(folder / "p")["main"], "index.html?debug=1#top");
    writeFile(folder / "p/package.json", R"({"main":"https://example.com/app"})");
    EXPECT_EQ(manifestOf(folder / "p")["main"], "https://example.com/app");
    writeFile(folder / "p/package.json", R"({"main":"weird://x"})");
    EXPECT_NO_THROW(manifestOf(folder / "p"));
}

TEST(ProjectValidation, APipeNamedPackageJSONIsRefusedWithoutWaiting) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "p");
    ASSERT_EQ(mkfifo((folder / "p/package.json").c_str(), 0600), 0);
    EXPECT_EQ(refusal(folder / "p"), "package.json is not a regular file.");
}

TEST(ProjectValidation, NestingBeyondTheLimitIsRefusedWhileParsing) {
    TemporaryFolder folder;
    writeFile(folder / "p/index.html", "");
    const auto nested = [](int depth) {
        return R"({"main":"index.html","x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') +
               "}";
    };
    writeFile(folder / "p/package.json", nested(maximumManifestDepth));
    EXPECT_EQ(refusal(folder / "p"), "accepted");
    writeFile(folder / "p/package.json", nested(maximumManifestDepth + 1));
    EXPECT_EQ(refusal(folder / "p"), "package.json nests arrays and objects more than 512 levels deep.");
}

} // namespace
} // namespace bundlekiln
