#pragma once

#include "open_panel.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace bundlekiln::app {

/// What the window asks of the desktop it runs on, kept apart so that tests
/// can answer in place of the person at the screen.
struct DesktopServices {
    /// Runs an open panel; none when it was cancelled.
    std::function<std::optional<std::filesystem::path>(const PanelRequest&)> choose;
    /// The system alert sound.
    std::function<void()> beep;
    /// The user's Downloads folder.
    std::filesystem::path downloadsFolder;
    /// Shows `item` selected in a file manager window. Never fails: a desktop
    /// without a file manager simply shows nothing.
    std::function<void(const std::filesystem::path& item)> reveal;
};

/// The real desktop: modal panels over the active window, the platform's beep,
/// its Downloads folder and its file manager.
DesktopServices platformServices();

} // namespace bundlekiln::app
