#include "form_rules.h"
#include "project_selection.h"

#include <gtest/gtest.h>

namespace bundlekiln::app {
namespace {

CheckStates initialStates() {
    return {{"auto", true}, {"resizable", true},  {"center", true}, {"top", false},
            {"hide", true}, {"frameless", false}, {"close", false}, {"zip", false},
            {"dmg", false}, {"sign", false},      {"notary", false}};
}

CheckStates afterClick(CheckStates states, const std::string& key, bool nowOn) {
    states.at(key) = nowOn;
    applyCheckboxRule(states, key);
    return states;
}

// The rules are tested through the window's checkboxes as well; these cases
// are plainer on the states alone.

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
