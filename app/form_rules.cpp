#include "form_rules.h"

#include <QString>

namespace bundlekiln::app {
namespace {

bool isOn(const CheckStates& checks, const std::string& key) {
    const auto found = checks.find(key);
    return found != checks.end() && found->second;
}

} // namespace

void applyCheckboxRule(CheckStates& checks, const std::string& clicked) {
    if (isOn(checks, clicked)) {
        if (clicked == "frameless") checks["close"] = false;
        if (clicked == "close") checks["frameless"] = false;
        if (clicked == "notary") checks["sign"] = true;
    }
    if (!isOn(checks, "sign")) checks["notary"] = false;
}

void resolveFrameOptions(CheckStates& checks) {
    if (isOn(checks, "close")) checks["frameless"] = false;
}

std::map<std::string, bool> fieldEnabling(const CheckStates& checks) {
    return {
        {"width", !isOn(checks, "auto")},
        {"height", !isOn(checks, "auto")},
        {"identity", isOn(checks, "sign")},
        {"profile", isOn(checks, "notary")},
    };
}

std::string trimmed(const std::string& text) {
    // Unicode white space, as typed or pasted into a field, not only ASCII blanks.
    return QString::fromStdString(text).trimmed().toStdString();
}

} // namespace bundlekiln::app
