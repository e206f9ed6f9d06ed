#include "main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

namespace bundlekiln::app {

void postToMainThread(std::function<void()> work) {
    // The application object lives on the main thread, and outlives the window
    // and the delegate, so it is the one safe receiver.
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void runInBackground(std::function<void()> work) {
    QThreadPool::globalInstance()->start(std::move(work));
}

} // namespace bundlekiln::app
