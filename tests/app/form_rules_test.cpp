#include "form_rules.h"
#include "project_selection.h"

#include <gtest/gtest.h>

namespace bundlekiln::app {
namespace {

CheckStates initialStates() {
    return {{"auto", true},      {"resizable", true}, {"center", true}, {"top", false},
            {"hide", true},      {"frameless", false}, {"close", false}, {"zip", false},
            {"dmg", false},      {"sign", false},      {"notary", false}};
}

CheckStates afterClick(CheckStates states, const std::string& key, bool nowOn) {
    states.at(key) = nowOn;
    applyCheckboxRule(states, key);
    return states;
}

TEST(CheckboxRule, TheFrameOptionsExcludeEachOtherBothWays) {
    CheckStates states = afterClick(afterClick(initialStates(), "close", true), "frameless", true);
    EXPECT_TRUE(states.at("frameless"));
    EXPECT_FALSE(states.at("close"));
    states = afterClick(states, "close", true);
    EXPECT_FALSE(states.at("frameless"));
    EXPECT_TRUE(states.at("close"));
    // Turning one off changes nothing else: both may be off.
    const CheckStates off = afterClick(states, "close", false);
    EXPECT_FALSE(off.at("frameless"));
    EXPECT_FALSE(off.at("close"));
}

TEST(CheckboxRule, NotarizingNeedsSigning) {
    CheckStates states = afterClick(initialStates(), "notary", true);
    EXPECT_TRUE(states.at("sign"));
    EXPECT_TRUE(states.at("notary"));
    states = afterClick(states, "sign", false);
    EXPECT_FALSE(states.at("notary"));
    // Notarizing off leaves signing on.
    states = afterClick(afterClick(states, "notary", true), "notary", false);
    EXPECT_TRUE(states.at("sign"));
}

TEST(CheckboxRule, AClickWithoutAKeyStillTurnsNotarizingOffWithoutSigning) {
    CheckStates states = initialStates();
    states.at("notary") = true;
    applyCheckboxRule(states, "");
    EXPECT_FALSE(states.at("notary"));
}

TEST(CheckboxRule, OtherCheckboxesLeaveTheRestAlone) {
    const CheckStates before = afterClick(initialStates(), "frameless", true);
    CheckStates expected = before;
    expected.at("zip") = true;
    EXPECT_EQ(afterClick(before, "zip", true), expected);
}

TEST(FrameOptions, SavedStatesWithBothOnKeepTheCloseVariant) {
    CheckStates states = initialStates();
    states.at("frameless") = states.at("close") = true;
    resolveFrameOptions(states);
    EXPECT_FALSE(states.at("frameless"));
    EXPECT_TRUE(states.at("close"));
}

TEST(FieldEnabling, DependentFieldsFollowTheirCheckboxes) {
    CheckStates states = initialStates();
    const std::map<std::string, bool> none = {{"width", false}, {"height", false}, {"identity", false}, {"profile", false}};
    EXPECT_EQ(fieldEnabling(states), none);
    states.at("auto") = false;
    states.at("sign") = true;
    states.at("notary") = true;
    const std::map<std::string, bool> all = {{"width", true}, {"height", true}, {"identity", true}, {"profile", true}};
    EXPECT_EQ(fieldEnabling(states), all);
}

TEST(BundleIdentifier, KeepsTheLowerCasedASCIILettersAndDigits) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"page", "com.local.page"},
        {"My Game", "com.local.mygame"},
        {"Cool-App_2", "com.local.coolapp2"},
        {"  Spaced\n", "com.local.spaced"},
        {"Caf\u00e9 Ol\u00e9 9", "com.local.cafol9"},
        {"\u00c4BC", "com.local.bc"},
        {"\u212a", "com.local.k"}, // the Kelvin sign lower-cases to an ASCII k
        {"!!! ...", "com.local.nwapp"},
        {"\u65e5\u672c\u8a9e", "com.local.nwapp"},
        {"", "com.local.nwapp"},
    };
    for (const auto& [name, identifier] : cases) EXPECT_EQ(bundleIdentifier(name), identifier) << name;
}

TEST(Trimmed, RemovesBlanksAndLineBreaksAtBothEndsOnly) {
    EXPECT_EQ(trimmed(" \t 800 \n"), "800");
    EXPECT_EQ(trimmed("  My  App  "), "My  App");
    EXPECT_EQ(trimmed("\u00a0name\u3000"), "name");
}

} // namespace
} // namespace bundlekiln::app
