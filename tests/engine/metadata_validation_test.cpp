#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "temporary_folder.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

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
    EXPECT_EQ(verdict([](auto& o) { o.frameless = o.closeButton = true; }), "Choose only one frameless option.");
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

TEST(MetadataValidation, Names) {
    // Blanks beyond ASCII count too: no-break, ideographic, line separator.
    for (const std::string name : {"", "   ", "\t\n", "\u00A0\u3000\u2028", "a/b", "a:b", ".", ".."})
        EXPECT_EQ(verdict(sampleOptions(name)), badName) << '"' << name << '"';
    for (const std::string name : {" My App ", "...", "My.App", "\u00A0\u00E9\u00A0"})
        EXPECT_EQ(verdict(sampleOptions(name)), "ok") << '"' << name << '"';
}

TEST(MetadataValidation, Versions) {
    for (const std::string version : {"1", "1.0", "1.2.3", "1.2.3.4", "01.002"})
        EXPECT_EQ(verdict(sampleOptions("A", version)), "ok") << version;
    for (const std::string version : {"1.2.3.4.5", "1.", ".1", "v1.0", "1.0-beta", "1.0 ", "", "1.0\n"})
        EXPECT_EQ(verdict(sampleOptions("A", version)), badVersion) << version;
}

TEST(MetadataValidation, BundleIdentifiers) {
    for (const std::string id : {"com.example.myapp", "a.b", "com.my-company.app-2"})
        EXPECT_EQ(verdict(sampleOptions("A", "1.0", id)), "ok") << id;
    for (const std::string id : {"myapp", "com..app", "com.example.", "com.example.my_app", "com.\xC3\xA9xample.app"})
        EXPECT_EQ(verdict(sampleOptions("A", "1.0", id)), badBundleID) << id;
}

} // namespace
} // namespace bundlekiln
