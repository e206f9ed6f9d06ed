// The notary service accepts only a lone app signed with a Developer ID and
// the hardened runtime, and stapler staples only what it accepted; its JSON
// is read back with python3's own parser.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kIdentity = "Developer ID Application: Jo Doe (AB12CD34EF)";

class Notary : public testing::Test {
protected:
    void SetUp() override {
        setenv("BUNDLEKILN_NOTARY_PROFILES", (folder / "config/profiles").c_str(), 1);
        writeFile(folder / "config/profiles", "team profile\n");
        writeFile(folder / "entitlements.plist", "<plist/>\n");
        writeFile(app / "Contents/MacOS/My App", "binary\n");
        writeFile(app / "Contents/Info.plist", "<plist/>\n");
    }
    void TearDown() override { unsetenv("BUNDLEKILN_NOTARY_PROFILES"); }

    void sign(const fs::path& item, const std::string& identity) {
        const auto result =
            runTool("codesign", {"--force", "--sign", identity, "--timestamp", "--options", "runtime",
                                 "--entitlements", (folder / "entitlements.plist").string(), item});
        ASSERT_EQ(result.status, 0) << result.err;
    }

    fs::path zip(const fs::path& item) {
        const fs::path archive = folder / "upload.zip";
        fs::remove(archive);
        const auto result = runTool("ditto", {"-c", "-k", "--sequesterRsrc", "--keepParent", item, archive});
        EXPECT_EQ(result.status, 0) << result.err;
        return archive;
    }

    ProcessResult submit(const fs::path& archive, const std::string& profile = "team profile") {
        return runTool("xcrun", {"notarytool", "submit", archive, "--keychain-profile", profile, "--wait",
                                 "--output-format", "json"});
    }

    // The members of the submission result as python3 reads them: "id status message".
    std::string parsed(const std::string& json) {
        writeFile(folder / "result.json", json);
        const auto result =
            runProcess({HOSTTOOLS_TEST_PYTHON, "-c",
                        "import json,sys,uuid; r=json.load(open(sys.argv[1])); "
                        "print(uuid.UUID(r['id']).version, r['status'], r['message'], sep='|')",
                        (folder / "result.json").string()});
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }

    ProcessResult stapler(const std::string& action) { return runTool("xcrun", {"stapler", action, app}); }

    TempFolder folder;
    fs::path app = folder / "build/My App.app";
};

TEST_F(Notary, FindReportsTheStandInsOfTheToolRoot) {
    for (const std::string tool : {"notarytool", "stapler"}) {
        const auto result = runTool("xcrun", {"--find", tool});
        ASSERT_EQ(result.status, 0) << result.err;
        const fs::path found = result.out.substr(0, result.out.size() - 1);
        EXPECT_EQ(found, fs::path(HOSTTOOLS_TOOL_ROOT) / "usr/bin" / tool);
        EXPECT_TRUE(fs::exists(found));
    }
    const auto unknown = runTool("xcrun", {"--find", "altool"});
    EXPECT_NE(unknown.status, 0);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("\"altool\""), std::string::npos) << unknown.err;
}

TEST_F(Notary, AnAcceptedAppIsStapledAndValidates) {
    sign(app / "Contents/MacOS/My App", kIdentity);
    sign(app, kIdentity);
    const auto submission = submit(zip(app));
    ASSERT_EQ(submission.status, 0) << submission.err;
    EXPECT_EQ(parsed(submission.out), "4|Accepted|Processing complete\n");

    EXPECT_EQ(stapler("validate").status, 1) << "not stapled yet";
    const auto stapled = stapler("staple");
    ASSERT_EQ(stapled.status, 0) << stapled.err;
    EXPECT_TRUE(fs::is_regular_file(app / "Contents/CodeResources"));
    const auto validated = stapler("validate");
    EXPECT_EQ(validated.status, 0) << validated.err;
    // The ticket lies outside the seal, as it is added after signing.
    EXPECT_EQ(runTool("codesign", {"--verify", "--deep", "--strict", app}).status, 0);
}

TEST_F(Notary, StaplingNeedsAnAcceptedSubmissionOfTheCurrentSignature) {
    sign(app, kIdentity);
    const auto early = stapler("staple");
    EXPECT_EQ(early.status, 1);
    EXPECT_NE(early.err.find("no accepted notarization"), std::string::npos) << early.err;
    EXPECT_FALSE(fs::exists(app / "Contents/CodeResources"));

    ASSERT_EQ(submit(zip(app)).status, 0);
    writeFile(app / "Contents/Resources/extra", "added after notarization\n");
    sign(app, kIdentity);
    EXPECT_EQ(stapler("staple").status, 1) << "the new signature was never submitted";
}

TEST_F(Notary, ATamperedStapledAppFailsValidation) {
    sign(app, kIdentity);
    ASSERT_EQ(submit(zip(app)).status, 0);
    ASSERT_EQ(stapler("staple").status, 0);
    writeFile(app / "Contents/Info.plist", "<plist>changed</plist>\n");
    const auto validated = stapler("validate");
    EXPECT_EQ(validated.status, 1);
    EXPECT_NE(validated.err.find("Contents/Info.plist"), std::string::npos) << validated.err;
}

TEST_F(Notary, SubmissionsThatTheServiceRejectsAreInvalid) {
    sign(app, "-");
    EXPECT_EQ(parsed(submit(zip(app)).out),
              "4|Invalid|The app is not signed with a Developer ID certificate.\n");

    sign(app, kIdentity);
    writeFile(app / "Contents/MacOS/My App", "changed after signing\n");
    EXPECT_EQ(parsed(submit(zip(app)).out), "4|Invalid|The signature of the app is invalid.\n");

    writeFile(folder / "Other.app/Contents/Info.plist", "<plist/>\n");
    EXPECT_EQ(parsed(submit(zip(folder / "Other.app")).out),
              "4|Invalid|The signature of the app is invalid.\n");

    writeFile(folder / "pile/readme.txt", "no app here\n");
    EXPECT_EQ(parsed(submit(zip(folder / "pile")).out),
              "4|Invalid|The archive must hold exactly one app at its top level.\n");

    writeFile(folder / "broken.zip", "not a zip archive\n");
    const auto broken = submit(folder / "broken.zip");
    EXPECT_EQ(broken.status, 0) << broken.err;
    EXPECT_NE(parsed(broken.out).find("|Invalid|The archive could not be unpacked"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "config/notary-accepted-seals"));
}

TEST_F(Notary, AnUnknownProfileOrMissingArchiveFailsWithoutAResult) {
    sign(app, kIdentity);
    const fs::path archive = zip(app);
    const auto unknown = submit(archive, "nobody");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("profile: nobody"), std::string::npos) << unknown.err;

    const auto missing = submit(folder / "absent.zip");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(fs::exists(folder / "config/notary-accepted-seals"));
}

} // namespace
} // namespace hosttools_test
