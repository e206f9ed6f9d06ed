#pragma once

#include <map>
#include <string>

namespace bundlekiln::app {

/// On/off state of every checkbox, by key.
using CheckStates = std::map<std::string, bool>;

/// The rule that runs after a checkbox was clicked and has already flipped:
/// the two frame options exclude each other, notarizing turns signing on, and
/// signing off turns notarizing off. `clicked` is the checkbox's key (empty
/// when it has none).
void applyCheckboxRule(CheckStates& checks, const std::string& clicked);

/// Saved settings may hold both frame options on; the close-button variant wins.
void resolveFrameOptions(CheckStates& checks);

/// Which fields are enabled, by field key: width and height only while
/// auto-size is off, the identity only while signing, the profile only while
/// notarizing. Fields not named here are always enabled.
std::map<std::string, bool> fieldEnabling(const CheckStates& checks);

/// `text` without white space or line breaks at either end.
std::string trimmed(const std::string& text);

} // namespace bundlekiln::app
