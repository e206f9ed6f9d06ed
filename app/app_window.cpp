#include "app_window.h"

#include <QCloseEvent>

namespace bundlekiln::app {

void AppWindow::closeEvent(QCloseEvent* event) {
    if (!shouldClose || shouldClose())
        event->accept();
    else
        event->ignore();
}

} // namespace bundlekiln::app
