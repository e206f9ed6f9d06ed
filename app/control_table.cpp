#include "control_table.h"

namespace bundlekiln::app {

std::vector<ControlRow> controlTable(const std::string& downloadsFolder) {
    const std::string choose = "Choose\u2026";
    return {
        FieldRow{"project", "Project", "", ChooseButton{choose, ChooseAction::project}},
        FieldRow{"name", "App Name", "", std::nullopt},
        FieldRow{"version", "Version", "1.0.0", std::nullopt},
        FieldRow{"bundle", "Bundle ID", "com.local.myapp", std::nullopt},
        ArchitectureRow{"Architecture", {"Apple Silicon (arm64)", "Intel (x64)"}},
        FieldRow{"runtime", "NW.js Runtime", "", ChooseButton{"Choose ZIP/App\u2026", ChooseAction::runtime}},
        DownloadButtonRow{},
        FieldRow{"icon", "PNG / ICNS icon", "", ChooseButton{choose, ChooseAction::icon}},
        FieldRow{"output", "Output Folder", downloadsFolder, ChooseButton{choose, ChooseAction::output}},
        SectionLabel{"Window settings"},
        CheckRow{"auto", "Auto size tightly to HTML", true},
        SizeLine{{"width", "Width", "900", std::nullopt}, {"height", "Height", "700", std::nullopt}},
        CheckLine{
            {{"resizable", "Resizable", true}, {"center", "Center", true}, {"top", "Always on top", false}}},
        CheckRow{"hide", "Hide outer scrollbars (internal lists still scroll)", true},
        CheckLine{{{"frameless", "Frameless", false}, {"close", "Frameless + Close Button", false}}},
        CheckLine{{{"zip", "Also create ZIP", false}, {"dmg", "Also create DMG", false}}},
        CheckRow{"sign", "Sign with Apple Developer ID", false},
        FieldRow{"identity", "Signing identity", "", std::nullopt},
        CheckRow{"notary", "Notarize and staple with Apple", false},
        FieldRow{"profile", "Keychain profile", "", std::nullopt},
    };
}

} // namespace bundlekiln::app
