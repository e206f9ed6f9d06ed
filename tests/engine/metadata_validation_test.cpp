#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

using testing::readFile;
using testing::writeFile;

std::string verdict(const BuildOptions& options) {
    return refusalOf([&] { KilnsmithTestAccess::validateMetadata(options); });
}

std::string verdict(const std::function<void(BuildOptions&)>& change) {
    BuildOptions options = sampleOptions();
    change(options);
    return verdict(options);
}

const std::string badSize = "Width and height must be between 100 and 16000 pixels.";
const std::string badName = "Enter a valid app name.";
const std::string identityNotFound =
    "The signing identity was not found in the login Keychain. "
    "Use your Developer ID Application certificate name or SHA-1 fingerprint.";
const std::string findIdentity = "security find-identity -v -p codesigning\n";

TEST(MetadataValidation, ArchitectureSizeAndFrameInThatOrder) {
    const std::string badArch = "Architecture must be arm64 or x64.";
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "x64"; }), "accepted");
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "ARM64"; }), badArch);
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "x86_64", o.width = 0; }), badArch);
    EXPECT_EQ(verdict([](auto& o) { o.width = 100, o.height = 16000; }), "accepted");
    EXPECT_EQ(verdict([](auto& o) { o.width = 99; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.height = 16001; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.width = -800; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.frameless = o.closeButton = true; }),
              "Choose only one frameless option.");
    EXPECT_EQ(verdict([](auto& o) { o.frameless = o.closeButton = true, o.width = 0; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.closeButton = true; }), "accepted");
}

/// Two bytes a letter, so that a length limit counted in letters shows.
std::string accented(std::size_t letters) {
    std::string text;
    while (letters-- > 0) text += "\u00E9";
    return text;
}

// Blanks beyond ASCII count too: no-break, ideographic, line separator. The
// long entries are judged without exhausting the stack.
TEST(MetadataValidation, NamesVersionsAndBundleIdentifiers) {
    const std::string digits(200000, '1'), label = "com." + std::string(200000, 'a');
    struct Rule {
        std::function<BuildOptions(const std::string&)> options;
        std::string refusal;
        std::vector<std::string> accepted, refused;
    };
    const Rule rules[] = {
        {[](const std::string& name) { return sampleOptions(name); },
         badName,
         {" My App ", "...", "My.App", "\u00A0\u00E9\u00A0", "a" + accented(125)},
         {"", "   ", "\t\n", "\u00A0\u3000\u2028", "a/b", "a:b", ".", "..", "a\nb", "a\x7F", "\xC3",
          accented(126)}},
        {[](const std::string& version) { return sampleOptions("A", version); },
         "Version must look like 1.0 or 1.2.3.",
         {"1", "1.0", "1.2.3", "1.2.3.4", "01.002", digits},
         {"1.2.3.4.5", "1.", ".1", "1..2", "v1.0", "1.0-beta", "1.0 ", " 1.0", "", "1.0\n", "\uFF11.0",
          digits + "x"}},
        {[](const std::string& id) { return sampleOptions("A", "1.0", id); },
         "Bundle ID must look like com.example.myapp.",
         {"com.example.myapp", "a.b", "com.my-company.app-2", "-.-", "a.b.c.d.e.f", label},
         {"myapp", "com..app", "com.example.", ".com.example", "com.example.my_app", "com.\xC3\xA9xample.app",
          "com.example.app\n", label + "_"}},
    };
    for (const Rule& rule : rules) {
        for (const std::string& text : rule.accepted)
            EXPECT_EQ(verdict(rule.options(text)), "accepted") << text;
        for (const std::string& text : rule.refused)
            EXPECT_EQ(verdict(rule.options(text)), rule.refusal) << text;
    }
}

// The tools run only for signing and notarizing, and before the texts are
// judged; the identity must be listed beside a Developer ID certificate.
TEST(MetadataValidation, TheKeychainAndTheToolsAreConsultedOnlyWhenNeededAndBeforeTheTexts) {
    testing::TemporaryFolder root;
    const std::string log = "#!/bin/sh\necho \"${0##*/} $*\" >> '" + (root / "runs").string() + "'\n";
    writeFile(root / "usr/bin/security", log + "cat '" + (root / "listing").string() + "'\n", 0755);
    writeFile(root / "usr/bin/xcrun",
              log + "[ $2 = stapler ] && { echo no $2; exit 72; }\necho /usr/bin/$2\n", 0755);
    setenv("BUNDLEKILN_TOOL_ROOT", root.path().c_str(), 1);
    const auto runs = [&] {
        const std::string logged = readFile(root / "runs");
        std::filesystem::remove(root / "runs");
        return logged;
    };
    BuildOptions options = sampleOptions("a/b", "v1", "nodots");
    EXPECT_EQ(verdict(options), badName);
    options.notaryProfile = "profile";
    EXPECT_EQ(verdict(options), "Notarization requires a Developer ID signing identity.");
    EXPECT_EQ(runs(), "");
    const std::string development = "  1) 0123ABCD \"Apple Development: Jo (X1)\"\n";
    writeFile(root / "listing", development);
    options.signingIdentity = "Apple Development: Jo (X1)";
    EXPECT_EQ(verdict(options), identityNotFound);
    writeFile(root / "listing", development + "  2) 4567EF01 \"Developer ID Application: Jo (X1)\"\n");
    options.signingIdentity = "Someone Else";
    EXPECT_EQ(verdict(options), identityNotFound);
    options.signingIdentity = "4567EF01";
    EXPECT_EQ(verdict(options), "no stapler");
    EXPECT_EQ(runs(),
              findIdentity + findIdentity + findIdentity + "xcrun --find notarytool\nxcrun --find stapler\n");
    options.notaryProfile.clear();
    options.signingIdentity = "Apple Development";
    EXPECT_EQ(verdict(options), badName);
    EXPECT_EQ(runs(), findIdentity);
    unsetenv("BUNDLEKILN_TOOL_ROOT");
}

} // namespace
} // namespace bundlekiln
