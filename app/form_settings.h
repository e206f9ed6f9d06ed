#pragma once

#include "form_rules.h"
#include "settings_store.h"

#include <cstdint>
#include <map>
#include <string>

namespace bundlekiln::app {

/// Everything the window's form holds: the text of every field, the state of
/// every checkbox, and the selected architecture index.
struct FormValues {
    std::map<std::string, std::string> texts;
    CheckStates checks;
    std::int64_t architecture = 0;
};

/// "final." + the control's key: where a control is saved.
std::string settingsKey(const std::string& controlKey);

/// The saved text of a field, or `initial` when none is saved (a saved empty
/// text stays empty).
std::string restoredText(const SettingsStore& store, const std::string& key, const std::string& initial);

/// The saved state of a checkbox, or `initial` when none is saved as a Boolean.
bool restoredCheck(const SettingsStore& store, const std::string& key, bool initial);

/// The saved architecture index, 0 when none is saved as an integer.
std::int64_t restoredArchitecture(const SettingsStore& store);

/// Writes every value of the form, texts exactly as they stand.
void saveForm(SettingsStore& store, const FormValues& form);

} // namespace bundlekiln::app
