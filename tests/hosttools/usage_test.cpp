// Every stand-in accepts only the forms the engine sends; anything else gets
// one usage line on stderr and status 64, before any file is touched.

#include <gtest/gtest.h>

#include <algorithm>

#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

struct Refused {
    std::string tool;
    std::vector<std::string> arguments;
};

TEST(Usage, UnknownArgumentFormsGetStatus64AndOneLine) {
    TempFolder folder;
    const auto path = folder.path().string();
    const std::vector<Refused> cases = {
        {"lipo", {}},
        {"lipo", {path}},
        {"lipo", {"-info", path}},
        {"lipo", {"-archs", path, path}},
        {"ditto", {}},
        {"ditto", {path}},
        {"ditto", {"-V", path, path}},
        {"ditto", {path, path, path}},
        {"ditto", {"-x", path, path}},
        {"ditto", {"-k", "-x", path, path}},
        {"ditto", {"-c", "-k", "--keepParent", path, path}},
        {"ditto", {"-c", "-k", "--sequesterRsrc", "--keepParent", "-v", path}},
        {"ditto", {"--rsrc", path}},
        {"chflags", {"nouchg", path}},
        {"chflags", {"-R", "uchg", path}},
        {"chflags", {"-R", "nouchg"}},
        {"xattr", {"-c", path}},
        {"xattr", {"-d", "user.x", path}},
        {"xattr", {path}},
        {"xcrun", {}},
        {"xcrun", {"--find"}},
        {"xcrun", {"-f", "notarytool"}},
        {"xcrun", {"--find", "notarytool", "stapler"}},
        {"xcrun", {"notarytool", "submit", path, "--keychain-profile", "p", "--output-format", "json"}},
        {"xcrun",
         {"notarytool", "submit", path, "--keychain-profile", "p", "--wait", "--output-format", "plist"}},
        {"xcrun", {"notarytool", "history", "--keychain-profile", "p"}},
        {"xcrun", {"stapler", "staple"}},
        {"xcrun", {"stapler", "staple", "-v", path}},
        {"xcrun", {"stapler", "remove", path}},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(testing::Message()
                     << refused.tool << " with " << refused.arguments.size() << " arguments");
        const auto result = runTool(refused.tool, refused.arguments);
        EXPECT_EQ(result.status, 64);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("usage: " + refused.tool + " ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

} // namespace
} // namespace hosttools_test
