#include "builder_error.h"
#include "kilnsmith_test_access.h"

#include <gtest/gtest.h>

namespace bundlekiln {

TEST(BuildOptions, RequiredFieldsAloneGiveTheDocumentedDefaults) {
    const BuildOptions options = sampleOptions();
    EXPECT_FALSE(options.zip);
    EXPECT_TRUE(options.autoSize);
    EXPECT_EQ(options.width, 900);
    EXPECT_EQ(options.height, 700);
    EXPECT_TRUE(options.resizable);
    EXPECT_TRUE(options.center);
    EXPECT_FALSE(options.alwaysOnTop);
    EXPECT_TRUE(options.hideScrollbars);
    EXPECT_FALSE(options.frameless);
    EXPECT_FALSE(options.closeButton);
    EXPECT_EQ(options.architecture, "arm64");
    EXPECT_TRUE(options.signingIdentity.empty());
    EXPECT_TRUE(options.notaryProfile.empty());
}

TEST(BuildOptions, ACopyIsIndependent) {
    const BuildOptions original = sampleOptions();
    BuildOptions copy = original;
    copy.zip = true;
    EXPECT_FALSE(original.zip);
}

TEST(BuilderError, DescriptionIsExactlyTheSentence) {
    const BuilderError error("Choose only one frameless option.");
    EXPECT_STREQ(error.what(), "Choose only one frameless option.");
    EXPECT_EQ(error.message(), "Choose only one frameless option.");
}

} // namespace bundlekiln
