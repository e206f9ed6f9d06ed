#include "desktop_services.h"

#include <QApplication>
#include <QStandardPaths>

namespace bundlekiln::app {

DesktopServices platformServices() {
    return {
        [](const PanelRequest& request) { return runOpenPanel(request, QApplication::activeWindow()); },
        [] { QApplication::beep(); },
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString(),
    };
}

} // namespace bundlekiln::app
