#include "desktop_start.h"

#include "app_delegate.h"
#include "stop_signals.h"

#include <QApplication>

#include <csignal>
#include <cstdlib>
#include <iostream>

namespace bundlekiln::app {
namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Qt aborts the process when it cannot reach a window system; say instead
// what is wrong and how to build without a window.
bool displayAvailable() {
#ifdef __APPLE__
    return true;
#else
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
#endif
}

// Returns the stop signal that ended the application, or 0 when it quit normally.
int runApplication(int& argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Bundlekiln");
    AppDelegate delegate(std::vector<std::string>(argv, argv + argc), platformServices());
    const StopSignals stopSignals([&delegate](int signal) { delegate.stopBySignal(signal); });
    delegate.applicationDidFinishLaunching();
    application.exec();
    return delegate.stopSignal;
}

} // namespace

int runDesktop(int& argc, char** argv) {
    if (!displayAvailable()) {
        std::cerr
            << "No display is available for the desktop window; run with --build for a headless build.\n";
        return 1;
    }
    // A write beyond the file-size limit must fail with EFBIG, in the window and in the tools its builds
    // run, rather than kill the window with its build half-done.
    std::signal(SIGXFSZ, SIG_IGN);
    // Only once the window, its work and the application object are gone.
    if (const int stop = runApplication(argc, argv)) endBySignal(stop);
    return 0;
}

} // namespace bundlekiln::app
