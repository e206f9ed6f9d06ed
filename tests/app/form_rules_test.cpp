// The rules between the checkboxes and the fields they enable, driven through
// the real controls, and the saving that every click does.
#include "delegate_fixture.h"

#include <QComboBox>
#include <QLineEdit>

namespace bundlekiln::app::testing {
namespace {

using FormRules = DelegateTest;

const std::set<std::string> initiallyOn = {"auto", "resizable", "center", "hide"};

std::set<std::string> with(std::set<std::string> keys, const std::set<std::string>& more) {
    keys.insert(more.begin(), more.end());
    return keys;
}

// The frame options exclude each other, notarizing needs signing, and each
// dependent field is enabled only while its checkbox is on. Every click saves
// every control, the fields as typed before it.
TEST_F(FormRules, EachClickKeepsTheRulesAndSavesEveryControl) {
    struct Case {
        std::vector<std::string> clicks;
        std::set<std::string> on, enabled;
    };
    const Case cases[] = {
        {{}, initiallyOn, {}},
        {{"close", "frameless"}, with(initiallyOn, {"frameless"}), {}},
        {{"frameless", "close"}, with(initiallyOn, {"close"}), {}},
        {{"close", "close"}, initiallyOn, {}},
        {{"notary"}, with(initiallyOn, {"sign", "notary"}), {"identity", "profile"}},
        {{"notary", "sign"}, initiallyOn, {}},
        {{"sign"}, with(initiallyOn, {"sign"}), {"identity"}},
        {{"auto"}, {"resizable", "center", "hide"}, {"width", "height"}},
        {{"zip", "top", "dmg"}, with(initiallyOn, {"zip", "top", "dmg"}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.clicks));
        std::filesystem::remove(SettingsStore::suiteFile(AppDelegate::standardSuite));
        const auto delegate = launch();
        for (const auto& [key, field] : delegate->fields)
            field->setText(QString::fromStdString(" typed " + key));
        delegate->arch->setCurrentIndex(1);
        for (const std::string& key : c.clicks) click(*delegate, key);
        const SettingsStore store = saved();
        const bool clicked = !c.clicks.empty();
        for (const auto& [key, box] : delegate->checks) {
            EXPECT_EQ(box->isChecked(), c.on.contains(key)) << key;
            EXPECT_TRUE(!clicked || store.boolean("final." + key) == c.on.contains(key)) << key;
        }
        for (const auto& [key, field] : delegate->fields) {
            const bool dependent = key == "width" || key == "height" || key == "identity" || key == "profile";
            EXPECT_EQ(field->isEnabled(), !dependent || c.enabled.contains(key)) << key;
            EXPECT_TRUE(!clicked || store.string("final." + key) == " typed " + key) << key;
        }
        EXPECT_EQ(store.integer("final.arch"), clicked ? std::optional<std::int64_t>(1) : std::nullopt);
    }
}

} // namespace
} // namespace bundlekiln::app::testing
