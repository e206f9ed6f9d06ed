#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace bundlekiln {
namespace {

std::string verdict(const BuildOptions& options) {
    try {
        KilnsmithTestAccess::validateMetadata(options);
        return "ok";
    } catch (const BuilderError& error) {
        return error.message();
    }
}

std::string verdict(const std::function<void(BuildOptions&)>& change) {
    BuildOptions options = sampleOptions();
    change(options);
    return verdict(options);
}

const std::string badArch = "Architecture must be arm64 or x64.";
const std::string badSize = "Width and height must be between 100 and 16000 pixels.";
const std::string badName = "Enter a valid app name.";
const std::string badVersion = "Version must look like 1.0 or 1.2.3.";
const std::string badBundleID = "Bundle ID must look like com.example.myapp.";

TEST(MetadataValidation, ArchitectureSizeAndFrameInThatOrder) {
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "x64"; }), "ok");
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "ARM64"; }), badArch);
    EXPECT_EQ(verdict([](auto& o) { o.architecture = "x86_64"; }), badArch);
    EXPECT_EQ(verdict([](auto& o) { o.width = 100, o.height = 16000; }), "ok");
    EXPECT_EQ(verdict([](auto& o) { o.width = 99; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.height = 16001; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.width = -800; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.frameless = o.closeButton = true; }),
              "Choose only one frameless option.");
    EXPECT_EQ(verdict([](auto& o) { o.frameless = o.closeButton = true, o.width = 0; }), badSize);
    EXPECT_EQ(verdict([](auto& o) { o.closeButton = true; }), "ok");
}

TEST(MetadataValidation, NotarizingWithoutAnIdentityRunsNoTool) {
    setenv("BUNDLEKILN_TOOL_ROOT", "/nonexistent", 1);
    EXPECT_EQ(verdict([](auto& o) { o.notaryProfile = "profile"; }),
              "Notarization requires a Developer ID signing identity.");
    unsetenv("BUNDLEKILN_TOOL_ROOT");
}

TEST(MetadataValidation, IdentityMustBeListedBesideADeveloperIDCertificate) {
    testing::TemporaryFolder root;
    testing::writeFile(root / "usr/bin/security",
                       "#!/bin/sh\n"
                       "echo '  1) 0123ABCD \"Apple Development: Jo (X1)\"'\n"
                       "echo '  2) 4567EF01 \"Developer ID Application: Jo (X1)\"'\n",
                       0755);
    testing::writeFile(root / "usr/bin/xcrun", "#!/bin/sh\nexit 1\n", 0755);
    setenv("BUNDLEKILN_TOOL_ROOT", root.path().c_str(), 1);
    EXPECT_EQ(verdict([](auto& o) { o.signingIdentity = "Apple Development"; }), "ok");
    EXPECT_EQ(verdict([](auto& o) { o.signingIdentity = "4567EF01"; }), "ok");
    EXPECT_EQ(verdict([](auto& o) { o.signingIdentity = "Someone Else"; }),
              "The signing identity was not found in the login Keychain. "
              "Use your Developer ID Application certificate name or SHA-1 fingerprint.");
    EXPECT_EQ(verdict([](auto& o) { o.signingIdentity = "Jo", o.notaryProfile = "p"; }),
              "Command failed: " + root.path().string() + "/usr/bin/xcrun");
    unsetenv("BUNDLEKILN_TOOL_ROOT");
}

const std::string identityNotFound =
    "The signing identity was not found in the login Keychain. "
    "Use your Developer ID Application certificate name or SHA-1 fingerprint.";

/// A tool root whose security and xcrun log each run to `runs.log`; security
/// prints `listing`, and xcrun fails for the tool named `missingTool`.
struct RecordingRoot {
    testing::TemporaryFolder root;

    explicit RecordingRoot(const std::string& listing, const std::string& missingTool = "none") {
        const std::string log = (root / "runs.log").string();
        testing::writeFile(
            root / "usr/bin/security",
            "#!/bin/sh\necho \"security $*\" >> '" + log + "'\ncat <<'EOF'\n" + listing + "\nEOF\n", 0755);
        testing::writeFile(
            root / "usr/bin/xcrun",
            "#!/bin/sh\necho \"xcrun $*\" >> '" + log + "'\n[ \"$2\" = " + missingTool +
                " ] && { echo \"xcrun: error: unable to find utility \\\"$2\\\"\"; exit 72; }\n"
                "echo /usr/bin/$2\n",
            0755);
        setenv("BUNDLEKILN_TOOL_ROOT", root.path().c_str(), 1);
    }
    ~RecordingRoot() { unsetenv("BUNDLEKILN_TOOL_ROOT"); }

    std::string runs() const { return testing::readFile(root / "runs.log"); }
};

const std::string developerIDListing =
    "  1) 4567EF01 \"Developer ID Application: Jo (X1)\"\n     1 valid identities found";

TEST(MetadataValidation, AListingWithoutADeveloperIDCertificateRefusesEvenAListedIdentity) {
    RecordingRoot tools("  1) 0123ABCD \"Apple Development: Jo (X1)\"\n     1 valid identities found");
    EXPECT_EQ(verdict([](auto& o) { o.signingIdentity = "Apple Development: Jo (X1)"; }), identityNotFound);
    EXPECT_EQ(tools.runs(), "security find-identity -v -p codesigning\n");
}

TEST(MetadataValidation, NoToolRunsWithoutAnIdentity) {
    RecordingRoot tools(developerIDListing);
    EXPECT_EQ(verdict(sampleOptions()), "ok");
    EXPECT_EQ(verdict(sampleOptions("A", "bad")), badVersion);
    EXPECT_EQ(tools.runs(), "");
}

TEST(MetadataValidation, TheKeychainAndTheToolsAreConsultedBeforeNameVersionAndIdentifier) {
    RecordingRoot tools(developerIDListing, "stapler");
    BuildOptions signing = sampleOptions("a/b", "v1", "nodots");
    signing.signingIdentity = "Someone Else";
    EXPECT_EQ(verdict(signing), identityNotFound);
    signing.signingIdentity = "Jo (X1)";
    EXPECT_EQ(verdict(signing), badName);
    signing.notaryProfile = "profile";
    EXPECT_EQ(verdict(signing), "xcrun: error: unable to find utility \"stapler\"");
    EXPECT_EQ(tools.runs(), "security find-identity -v -p codesigning\n"
                            "security find-identity -v -p codesigning\n"
                            "security find-identity -v -p codesigning\n"
                            "xcrun --find notarytool\n"
                            "xcrun --find stapler\n");
}

TEST(MetadataValidation, VeryLongEntriesAreJudgedWithoutExhaustingTheStack) {
    const std::string digits(200000, '1');
    EXPECT_EQ(verdict(sampleOptions("A", digits)), "ok");
    EXPECT_EQ(verdict(sampleOptions("A", digits + "x")), badVersion);
    const std::string label(200000, 'a');
    EXPECT_EQ(verdict(sampleOptions("A", "1.0", "com." + label)), "ok");
    EXPECT_EQ(verdict(sampleOptions("A", "1.0", "com." + label + "_")), badBundleID);
}

/// Two bytes a letter, so that a length limit counted in letters shows.
std::string accented(std::size_t letters) {
    std::string text;
    while (letters-- > 0) text += "\u00E9";
    return text;
}

TEST(MetadataValidation, Names) {
    // Blanks beyond ASCII count too: no-break, ideographic, line separator.
    for (const std::string& name :
         std::vector<std::string>{"", "   ", "\t\n", "\u00A0\u3000\u2028", "a/b", "a:b", ".", "..", "a\nb",
                                  "a\x7F", "\xC3", accented(126)})
        EXPECT_EQ(verdict(sampleOptions(name)), badName) << '"' << name << '"';
    for (const std::string& name :
         std::vector<std::string>{" My App ", "...", "My.App", "\u00A0\u00E9\u00A0", "a" + accented(125)})
        EXPECT_EQ(verdict(sampleOptions(name)), "ok") << '"' << name << '"';
}

TEST(MetadataValidation, Versions) {
    for (const std::string version : {"1", "1.0", "1.2.3", "1.2.3.4", "01.002"})
        EXPECT_EQ(verdict(sampleOptions("A", version)), "ok") << version;
    for (const std::string version :
         {"1.2.3.4.5", "1.", ".1", "1..2", "v1.0", "1.0-beta", "1.0 ", " 1.0", "", "1.0\n", "\uFF11.0"})
        EXPECT_EQ(verdict(sampleOptions("A", version)), badVersion) << version;
}

TEST(MetadataValidation, BundleIdentifiers) {
    for (const std::string id : {"com.example.myapp", "a.b", "com.my-company.app-2", "-.-", "a.b.c.d.e.f"})
        EXPECT_EQ(verdict(sampleOptions("A", "1.0", id)), "ok") << id;
    for (const std::string id : {"myapp", "com..app", "com.example.", ".com.example", "com.example.my_app",
                                 "com.\xC3\xA9xample.app", "com.example.app\n"})
        EXPECT_EQ(verdict(sampleOptions("A", "1.0", id)), badBundleID) << id;
}

} // namespace
} // namespace bundlekiln
