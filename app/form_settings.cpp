#include "form_settings.h"

#include "control_table.h"

namespace bundlekiln::app {

std::string settingsKey(const std::string& controlKey) {
    return "final." + controlKey;
}

std::string restoredText(const SettingsStore& store, const std::string& key, const std::string& initial) {
    return store.string(settingsKey(key)).value_or(initial);
}

bool restoredCheck(const SettingsStore& store, const std::string& key, bool initial) {
    return store.boolean(settingsKey(key)).value_or(initial);
}

std::int64_t restoredArchitecture(const SettingsStore& store) {
    return store.integer(settingsKey(architectureKey)).value_or(0);
}

void saveForm(SettingsStore& store, const FormValues& form) {
    std::map<std::string, SettingsStore::Value> values;
    for (const auto& [key, text] : form.texts) values.emplace(settingsKey(key), text);
    for (const auto& [key, on] : form.checks) values.emplace(settingsKey(key), on);
    values.emplace(settingsKey(architectureKey), form.architecture);
    store.setValues(values);
}

} // namespace bundlekiln::app
