#include "runtime_cache.h"

#include <QStandardPaths>

#include <cstdlib>

namespace bundlekiln::app {

std::filesystem::path runtimeCacheFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(data.toStdString()) / "Bundlekiln";
}

std::string runtimeArchiveName(const std::string& version, const std::string& architecture) {
    return "nwjs-v" + version + "-osx-" + architecture + ".zip";
}

std::string downloadServer() {
    const char* configured = std::getenv("BUNDLEKILN_NWJS_BASE_URL");
    return configured && *configured ? configured : "https://dl.nwjs.io";
}

QUrl runtimeDownloadAddress(const std::string& version, const std::string& archiveName) {
    return QUrl(QString::fromStdString(downloadServer() + "/v" + version + "/" + archiveName));
}

} // namespace bundlekiln::app
