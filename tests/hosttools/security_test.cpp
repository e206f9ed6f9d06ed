// security find-identity lists the stand-in keychain in the real listing's
// layout, wherever the keychain file is configured to be.

#include <gtest/gtest.h>

#include <cstdlib>

#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

class Security : public testing::Test {
protected:
    void SetUp() override { setenv("BUNDLEKILN_KEYCHAIN", (folder / "keychain").c_str(), 1); }
    void TearDown() override { unsetenv("BUNDLEKILN_KEYCHAIN"); }

    ProcessResult findIdentity() { return runTool("security", {"find-identity", "-v", "-p", "codesigning"}); }

    TempFolder folder;
};

TEST_F(Security, IdentitiesAreListedNumberedWithFingerprintAndQuotedName) {
    writeFile(folder / "keychain",
              "# stand-in keychain\n"
              "0123456789abcdef0123456789abcdef01234567 Developer ID Application: Jo Doe (AB12CD34EF)\n"
              "\n"
              "Apple Development: Jo Doe (ZZ99)\n");
    const auto result = findIdentity();
    ASSERT_EQ(result.status, 0) << result.err;
    // The second fingerprint is the SHA-1 of its name (as sha1sum gives it).
    EXPECT_EQ(
        result.out,
        "  1) 0123456789ABCDEF0123456789ABCDEF01234567 \"Developer ID Application: Jo Doe (AB12CD34EF)\"\n"
        "  2) ED4A1AB4E51729B20698DE51113D2F7CE08A1FB9 \"Apple Development: Jo Doe (ZZ99)\"\n"
        "     2 valid identities found\n");
}

TEST_F(Security, AMissingKeychainHoldsNoIdentities) {
    const auto result = findIdentity();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "     0 valid identities found\n");
}

TEST_F(Security, TheDefaultKeychainLivesInTheConfigurationFolder) {
    unsetenv("BUNDLEKILN_KEYCHAIN");
    setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    writeFile(folder / "bundlekiln/keychain", "Developer ID Application: Default (T1)\n");
    const auto result = findIdentity();
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_NE(result.out.find("\"Developer ID Application: Default (T1)\"\n     1 valid identities found"),
              std::string::npos)
        << result.out;
}

TEST_F(Security, MalformedKeychainsAndOtherFormsAreRefused) {
    writeFile(folder / "keychain", "Developer ID Application: \"Quoted\"\n");
    const auto malformed = findIdentity();
    EXPECT_EQ(malformed.status, 1);
    EXPECT_NE(malformed.err.find("Line 1"), std::string::npos) << malformed.err;
    EXPECT_EQ(runTool("security", {"find-identity", "-p", "codesigning"}).status, 64);
    EXPECT_EQ(runTool("security", {"find-identity", "-v", "-p", "basic"}).status, 64);
}

} // namespace
} // namespace hosttools_test
