// The runtime download button and the architecture pop-up: the runtime field
// follows the per-user cache of the selected architecture.
#include "app_delegate.h"

#include "build_form.h"
#include "runtime_cache.h"
#include "runtime_download.h"

#include <QComboBox>
#include <QLabel>

namespace bundlekiln::app {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

} // namespace

std::filesystem::path AppDelegate::cacheURL() const {
    return runtimeCacheFolder() / runtimeArchiveName(latestVersion, architectureName(arch->currentIndex()));
}

void AppDelegate::downloadRuntime() {
    const std::filesystem::path cacheFile = cacheURL();
    if (std::filesystem::exists(cacheFile)) {
        setText("runtime", cacheFile.string());
        status->setText(qt("\u2713 Using cached NW.js " + latestVersion));
        save();
        return;
    }
    const QUrl address = runtimeDownloadAddress(latestVersion, cacheFile.filename().string());
    setBusy(true);
    status->setText(qt("Downloading NW.js " + latestVersion + "\u2026"));
    // The file computed now is where the download lands, whatever the pop-up says later.
    fetchRuntimeArchive(*network_, address, cacheFile,
                        [delegate = QPointer<AppDelegate>(this), cacheFile](const DownloadFailure& failure) {
                            if (!delegate) return;
                            if (failure)
                                delegate->endBusyWith(*failure);
                            else
                                delegate->downloadSucceeded(cacheFile);
                        });
}

void AppDelegate::architectureChanged() {
    const std::filesystem::path cacheFile = cacheURL();
    setText("runtime", std::filesystem::exists(cacheFile) ? cacheFile.string() : "");
    save();
}

void AppDelegate::downloadSucceeded(const std::filesystem::path& cacheFile) {
    setBusy(false);
    setText("runtime", cacheFile.string());
    status->setText("\u2713 Runtime cached");
    save();
}

} // namespace bundlekiln::app
