#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <set>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::writeFile;

/// A staged project whose own script is js/boot.js, starting with a byte-order mark.
struct StagedProject {
    testing::TemporaryFolder folder;
    fs::path staged = folder / "Demo.app/Contents/Resources/app.nw";
    std::string boot = "window.booted = '\u00e9';";

    StagedProject() { writeFile(staged / "js/boot.js", "\xEF\xBB\xBF" + boot); }

    /// The written package.json.
    Manifest configure(Manifest manifest, const BuildOptions& options = sampleOptions()) {
        KilnsmithTestAccess::configureProject(manifest, staged, options);
        return Manifest::parse(readFile(staged / "package.json"));
    }
    std::set<fs::path> entries() const {
        return std::set<fs::path>(fs::recursive_directory_iterator(staged), {});
    }
};

// The project's own script, found inside the project however it is spelt,
// runs first and stays where it is; an entry that names none is replaced.
TEST(ProjectConfiguration, TheProjectScriptRunsFirstAndStaysInPlace) {
    for (const Manifest& value :
         {Manifest("js/boot.js"), Manifest("./js/../js//boot.js"), Manifest("/js/boot.js"),
          Manifest("../app.nw/js/boot.js"), Manifest(""), Manifest(5), Manifest(nullptr)}) {
        StagedProject project;
        const Manifest written = project.configure({{"main", "a.html"}, {"inject_js_end", value}});
        const std::string script = readFile(project.staged / written["inject_js_end"].get<std::string>());
        EXPECT_EQ(script.starts_with(project.boot), value.is_string() && value != "") << value;
        EXPECT_NE(script.find(Kilnsmith::fitScript), std::string::npos) << value;
        EXPECT_EQ(readFile(project.staged / "js/boot.js"), "\xEF\xBB\xBF" + project.boot);
    }
}

// Paths that only look inside or name the project itself, and a folder: the
// refusal comes before anything is written.
TEST(ProjectConfiguration, AScriptOutsideTheProjectOrNoFileIsRefused) {
    const std::string outside = "The existing injection script must be inside the project.";
    const std::pair<const char*, std::string> cases[] = {
        {"/../boot.js", outside}, {"../app.nw-old/boot.js", outside},
        {".", outside},           {"js/..", outside},
        {"/", outside},           {"js", std::make_error_code(std::errc::is_a_directory).message()}};
    for (const auto& [value, expected] : cases) {
        StagedProject project;
        writeFile(project.folder / "Demo.app/Contents/Resources/app.nw-old/boot.js", "outside");
        const auto before = project.entries();
        EXPECT_EQ(refusalOf([&] {
                      project.configure({{"main", "a.html"}, {"inject_js_end", value}});
                  }),
                  expected)
            << value;
        EXPECT_EQ(project.entries(), before) << value;
    }
    Manifest manifest;
    EXPECT_THROW(KilnsmithTestAccess::configureProject(manifest, "/nonexistent", sampleOptions()),
                 fs::filesystem_error);
}

TEST(ProjectConfiguration, PackageJSONIsIndentedAndKeepsNumbersAndTextAsTheyWere) {
    StagedProject project;
    project.configure(Manifest::parse(
        R"({"main":"a.html","big":9007199254740993,"one":1.0,"tiny":1e-7,"text":"caf\u00e9"})"));
    const std::string text = readFile(project.staged / "package.json");
    EXPECT_NE(text.find("\n  \"big\": 9007199254740993,\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"text\": \"caf\u00e9\""), std::string::npos) << text;
    EXPECT_TRUE(text.starts_with("{\n  \"") && text.ends_with("\n}\n")) << text;
    const Manifest written = Manifest::parse(text);
    EXPECT_TRUE(written["one"].is_number_float());
    EXPECT_EQ(written["tiny"].get<double>(), 1e-7);
}

} // namespace
} // namespace bundlekiln
