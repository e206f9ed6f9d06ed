#include "desktop_services.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#ifndef __APPLE__
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#endif

namespace bundlekiln::app {
namespace {

QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

#ifdef __APPLE__
void revealItem(const std::filesystem::path& item) {
    QProcess::startDetached("/usr/bin/open", {"-R", QString::fromStdString(item.string())});
}
#else
// The freedesktop file-manager interface selects the item. Without a file
// manager there is nothing to do: the status line already names the app, and
// handing the folder to the desktop's default handler may start anything. The
// call is asynchronous, so a slow file manager never holds up the window.
void revealItem(const std::filesystem::path& item) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{fileUrl(item).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}
#endif

} // namespace

DesktopServices platformServices() {
    return {
        [](const PanelRequest& request) { return runOpenPanel(request, QApplication::activeWindow()); },
        [] { QApplication::beep(); },
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString(),
        revealItem,
    };
}

} // namespace bundlekiln::app
