#include "desktop_start.h"

#include "app_delegate.h"

#include <QApplication>

namespace bundlekiln::app {

int runDesktop(int& argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Bundlekiln");
    AppDelegate delegate(std::vector<std::string>(argv, argv + argc), platformServices());
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}

} // namespace bundlekiln::app
