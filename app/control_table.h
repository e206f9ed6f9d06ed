#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace bundlekiln::app {

/// The actions behind the "Choose…" buttons of the field rows.
enum class ChooseAction { project, runtime, icon, output };

struct ChooseButton {
    std::string title;
    ChooseAction action;
};

/// A labelled text field. `initial` is its text when nothing is saved.
struct FieldRow {
    std::string key;
    std::string label;
    std::string initial;
    std::optional<ChooseButton> button;
};

/// A checkbox without a label; `initial` is its state when nothing is saved.
struct CheckRow {
    std::string key;
    std::string title;
    bool initial;
};

/// The architecture pop-up in a labelled row.
struct ArchitectureRow {
    std::string label;
    std::vector<std::string> items;
};

/// The runtime download button, on its own under the runtime row.
struct DownloadButtonRow {};

/// A bold heading inside the form.
struct SectionLabel {
    std::string title;
};

/// Two labelled fields side by side.
struct SizeLine {
    FieldRow width;
    FieldRow height;
};

/// Checkboxes side by side.
struct CheckLine {
    std::vector<CheckRow> checks;
};

using ControlRow =
    std::variant<FieldRow, ArchitectureRow, DownloadButtonRow, SectionLabel, CheckRow, SizeLine, CheckLine>;

/// Every input of the window, top to bottom. `downloadsFolder` is the output
/// folder's initial value.
std::vector<ControlRow> controlTable(const std::string& downloadsFolder);

/// The key under which the architecture pop-up is saved.
inline constexpr const char* architectureKey = "arch";

} // namespace bundlekiln::app
