#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

const std::string outsideProject = "The existing injection script must be inside the project.";
const std::string scriptStart = "(() => { const settings = ";

/// A staged project folder, and what configuring it produced.
struct StagedProject {
    TemporaryFolder folder;
    fs::path staged = folder / "Demo.app/Contents/Resources/app.nw";

    StagedProject() { fs::create_directories(staged); }

    Manifest configure(Manifest& manifest, const BuildOptions& options = sampleOptions()) {
        KilnsmithTestAccess::configureProject(manifest, staged, options);
        return Manifest::parse(readFile(staged / "package.json"));
    }
    Manifest configure(Manifest&& manifest, const BuildOptions& options = sampleOptions()) {
        return configure(manifest, options);
    }
    std::string script(const Manifest& written) const {
        return readFile(staged / written.at("inject_js_end").get<std::string>());
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(staged))
            names.insert(fs::relative(entry.path(), staged).string());
        return names;
    }
};

Manifest settingsIn(const std::string& script) {
    const auto start = script.find(scriptStart) + scriptStart.size();
    return Manifest::parse(script.substr(start, script.find(";\n", start) - start));
}

Manifest htmlManifest() {
    return Manifest{{"name", "index"}, {"main", "index.html"}};
}

TEST(ProjectConfiguration, FrameTitleAndSettingsFollowFramelessAndCloseButton) {
    struct Case {
        bool frameless, closeButton;
        const char* title;
        bool frame;
    };
    for (const Case& c : {Case{false, false, "Sample", true}, Case{true, false, " ", false},
                          Case{false, true, " ", false}, Case{true, true, " ", false}}) {
        StagedProject project;
        BuildOptions options = sampleOptions();
        options.frameless = c.frameless;
        options.closeButton = c.closeButton;
        const Manifest written = project.configure(htmlManifest(), options);
        const Manifest& window = written["window"];
        EXPECT_EQ(window["title"], c.title);
        EXPECT_EQ(window["frame"], c.frame);
        const Manifest settings = settingsIn(project.script(written));
        EXPECT_EQ(settings["frameless"], !c.frame);
        EXPECT_EQ(settings["close"], c.closeButton);
    }
}

TEST(ProjectConfiguration, OptionsReachTheWindowAndTheSettingsObject) {
    StagedProject project;
    BuildOptions options = sampleOptions("My App", "2.5", "com.Example.MyApp");
    options.width = 1234;
    options.height = 567;
    options.resizable = false;
    options.alwaysOnTop = true;
    options.autoSize = false;
    options.hideScrollbars = false;
    options.center = false;
    Manifest manifest = htmlManifest();
    const Manifest written = project.configure(manifest, options);
    EXPECT_EQ(written, manifest);
    EXPECT_EQ(written["name"], "com.example.myapp");
    EXPECT_EQ(written["version"], "2.5");
    EXPECT_EQ(written["main"], "index.html");
    EXPECT_EQ(written["window"], (Manifest{{"title", "My App"},
                                           {"width", 1234},
                                           {"height", 567},
                                           {"resizable", false},
                                           {"always_on_top", true},
                                           {"frame", true},
                                           {"fullscreen", false},
                                           {"kiosk", false}}));
    EXPECT_TRUE(written["window"]["width"].is_number_integer());
    const std::string script = project.script(written);
    const std::string settings = R"({"auto":false,"center":false,"close":false,"frameless":false,)"
                                 R"("hide":false,"resizable":false})";
    EXPECT_EQ(script, scriptStart + settings + ";\n" + std::string(Kilnsmith::fitScript) + "\n})();\n");
}

TEST(ProjectConfiguration, TheProjectWindowKeepsItsOwnKeysLessLimitsAndPosition) {
    const Manifest own{{"icon", "icon.png"}, {"min_width", 800}, {"max_width", 900},
                       {"min_height", 1},    {"max_height", 2},  {"position", "mouse"},
                       {"fullscreen", true}, {"kiosk", true},    {"transparent", true}};
    for (const bool center : {false, true}) {
        StagedProject project;
        BuildOptions options = sampleOptions();
        options.center = center;
        const Manifest window =
            project.configure(Manifest{{"main", "a.html"}, {"window", own}}, options)["window"];
        EXPECT_EQ(window["icon"], "icon.png");
        EXPECT_EQ(window["transparent"], true);
        EXPECT_EQ(window["fullscreen"], false);
        EXPECT_EQ(window["kiosk"], false);
        for (const char* gone : {"min_width", "max_width", "min_height", "max_height"})
            EXPECT_FALSE(window.contains(gone)) << gone;
        EXPECT_EQ(window.value("position", "absent"), center ? "center" : "absent");
    }
}

TEST(ProjectConfiguration, AWindowOfAnotherTypeIsReplaced) {
    for (const Manifest& value :
         {Manifest("wide"), Manifest::array({1, 2}), Manifest(3), Manifest(nullptr)}) {
        StagedProject project;
        const Manifest window = project.configure(Manifest{{"main", "a.html"}, {"window", value}})["window"];
        EXPECT_TRUE(window.is_object()) << value;
        EXPECT_EQ(window.size(), 9u) << window; // the eight set keys and "position"
    }
}

TEST(ProjectConfiguration, PackageJSONIsSortedAndIndentedAndKeepsNumbers) {
    StagedProject project;
    Manifest manifest = Manifest::parse(
        R"({"main":"a/b.html","zeta":{"b":1,"a":{"d":[3,{"y":1,"x":2}],"c":1.5}},"big":9007199254740993,)"
        R"("one":1.0,"tiny":1e-7,"text":"caf\u00e9"})");
    project.configure(manifest);
    const std::string text = readFile(project.staged / "package.json");
    EXPECT_NE(text.find("\n  \"big\": 9007199254740993,\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"main\": \"a/b.html\""), std::string::npos);
    EXPECT_NE(text.find("\"text\": \"caf\u00e9\""), std::string::npos);
    EXPECT_NE(
        text.find("\"zeta\": {\n    \"a\": {\n      \"c\": 1.5,\n      \"d\": [\n        3,\n        {\n"
                  "          \"x\": 2,\n          \"y\": 1\n"),
        std::string::npos)
        << text;
    const Manifest written = Manifest::parse(text);
    EXPECT_EQ(written["one"].get<double>(), 1.0);
    EXPECT_EQ(written["tiny"].get<double>(), 1e-7);
    std::vector<std::string> keys;
    for (const auto& [key, value] : written.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"big", "inject_js_end", "main", "name", "one", "text", "tiny",
                                              "version", "window", "zeta"}));
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
}

TEST(ProjectConfiguration, EveryBuildWritesAScriptOfANewName) {
    StagedProject project;
    const std::regex pattern("bundlekiln-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.js");
    const auto first = project.configure(htmlManifest())["inject_js_end"].get<std::string>();
    const auto second = project.configure(htmlManifest())["inject_js_end"].get<std::string>();
    EXPECT_TRUE(std::regex_match(first, pattern)) << first;
    EXPECT_TRUE(std::regex_match(second, pattern)) << second;
    EXPECT_NE(first, second);
    // Nothing but the two scripts and package.json: no temporary files remain.
    EXPECT_EQ(project.entries(), (std::set<std::string>{first, second, "package.json"}));
    EXPECT_EQ(testing::modeOf(project.staged / first), 0644u);
}

TEST(ProjectConfiguration, TheProjectScriptRunsFirstAndStaysInPlace) {
    struct Case {
        const char* value;
        const char* file;
    };
    for (const Case& c : {Case{"js/boot.js", "js/boot.js"}, Case{"./js/../js//boot.js", "js/boot.js"},
                          Case{"/boot.js", "boot.js"}, Case{"../app.nw/boot.js", "boot.js"}}) {
        StagedProject project;
        writeFile(project.staged / c.file, "\xEF\xBB\xBFwindow.booted = '\u00e9';");
        const Manifest written = project.configure(Manifest{{"main", "a.html"}, {"inject_js_end", c.value}});
        EXPECT_TRUE(project.script(written).starts_with("window.booted = '\u00e9';\n;\n" + scriptStart))
            << c.value;
        EXPECT_EQ(readFile(project.staged / c.file), "\xEF\xBB\xBFwindow.booted = '\u00e9';");
    }
}

TEST(ProjectConfiguration, AnEmptyOrNonTextScriptEntryIsReplaced) {
    for (const Manifest& value : {Manifest(""), Manifest(5), Manifest(nullptr), Manifest(false)}) {
        StagedProject project;
        const Manifest written = project.configure(Manifest{{"main", "a.html"}, {"inject_js_end", value}});
        EXPECT_TRUE(project.script(written).starts_with(scriptStart)) << value;
    }
}

TEST(ProjectConfiguration, AScriptOutsideTheProjectIsRefusedBeforeAnythingIsWritten) {
    for (const char* value : {"../boot.js", "js/../../boot.js", "/../boot.js", "../app.nw-old/boot.js", ".",
                              "js/..", "/", "../../../../../../../../etc/passwd"}) {
        StagedProject project;
        writeFile(project.staged / "package.json", "{}");
        writeFile(project.folder / "Demo.app/Contents/Resources/boot.js", "outside");
        Manifest manifest{{"main", "a.html"}, {"inject_js_end", value}};
        try {
            KilnsmithTestAccess::configureProject(manifest, project.staged, sampleOptions());
            ADD_FAILURE() << value << " was accepted";
        } catch (const BuilderError& error) {
            EXPECT_EQ(error.message(), outsideProject) << value;
        }
        EXPECT_EQ(manifest["inject_js_end"], value);
        EXPECT_EQ(project.entries(), std::set<std::string>{"package.json"}) << value;
        EXPECT_EQ(readFile(project.staged / "package.json"), "{}");
    }
}

TEST(ProjectConfiguration, AnUnreadableProjectScriptFailsWithTheSystemsError) {
    struct Case {
        const char* value;
        std::errc reason;
    };
    for (const Case& c :
         {Case{"missing.js", std::errc::no_such_file_or_directory}, Case{"js", std::errc::is_a_directory},
          Case{"latin1.js", std::errc::illegal_byte_sequence},
          Case{"/etc/passwd", std::errc::no_such_file_or_directory}}) {
        StagedProject project;
        writeFile(project.staged / "js/boot.js", "");
        writeFile(project.staged / "latin1.js", "// caf\xE9");
        const auto before = project.entries();
        Manifest manifest{{"main", "a.html"}, {"inject_js_end", c.value}};
        try {
            KilnsmithTestAccess::configureProject(manifest, project.staged, sampleOptions());
            ADD_FAILURE() << c.value << " was accepted";
        } catch (const fs::filesystem_error& error) {
            EXPECT_EQ(error.code(), std::make_error_code(c.reason)) << c.value;
        }
        EXPECT_EQ(project.entries(), before) << c.value;
    }
}

TEST(ProjectConfiguration, AMissingStagedFolderFailsWithTheSystemsError) {
    StagedProject project;
    Manifest manifest = htmlManifest();
    EXPECT_THROW(KilnsmithTestAccess::configureProject(manifest, project.folder / "gone", sampleOptions()),
                 fs::filesystem_error);
}

} // namespace
} // namespace bundlekiln
