#include "desktop_start.h"

#include "app_delegate.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>

namespace bundlekiln::app {
namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Without a display Qt aborts the process; a clear sentence serves better.
bool canReachADisplay() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

} // namespace

int runDesktop(int& argc, char** argv) {
    if (!canReachADisplay()) {
        std::cerr << "The desktop window needs a display (DISPLAY or WAYLAND_DISPLAY is not set); "
                     "for a headless build use --build.\n";
        return 1;
    }
    QApplication application(argc, argv);
    application.setApplicationName("Bundlekiln");
    AppDelegate delegate(std::vector<std::string>(argv, argv + argc), platformServices());
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}

} // namespace bundlekiln::app
