// The runtime download button and the architecture pop-up: the runtime field
// follows the per-user cache of the selected architecture.
#include "app_delegate.h"

#include "build_form.h"
#include "runtime_cache.h"

#include <QComboBox>

namespace bundlekiln::app {

std::filesystem::path AppDelegate::cacheURL() const {
    return runtimeCacheFolder() / runtimeArchiveName(latestVersion, architectureName(arch->currentIndex()));
}

void AppDelegate::downloadRuntime() {
    const std::filesystem::path cacheFile = cacheURL();
    if (std::filesystem::exists(cacheFile)) {
        setText("runtime", cacheFile.string());
        setStatus("\u2713 Using cached NW.js " + latestVersion);
        save();
        return;
    }
    const QUrl address = runtimeDownloadAddress(latestVersion, cacheFile.filename().string());
    setBusy(true);
    setStatus("Downloading NW.js " + latestVersion + "\u2026");
    footer->showTransfer(0, 0);
    // The download belongs to the delegate's network session, so it never
    // calls back into a delegate that is gone. The file computed now is where
    // it lands, whatever the pop-up says later.
    download_ = new RuntimeDownload(
        *network_, address, cacheFile, downloadStallLimit,
        [this](std::int64_t received, std::int64_t total) { footer->showTransfer(received, total); },
        [this, cacheFile](RuntimeDownload::Ending ending, const std::string& failure) {
            downloadEnded(ending, failure, cacheFile);
        });
}

void AppDelegate::cancelDownload() {
    if (download_) download_->cancel();
}

void AppDelegate::architectureChanged() {
    const std::filesystem::path cacheFile = cacheURL();
    setText("runtime", std::filesystem::exists(cacheFile) ? cacheFile.string() : "");
    save();
}

void AppDelegate::downloadEnded(RuntimeDownload::Ending ending, const std::string& failure,
                                const std::filesystem::path& cacheFile) {
    switch (ending) {
    case RuntimeDownload::Ending::cached:
        return downloadSucceeded(cacheFile);
    case RuntimeDownload::Ending::failed:
        return endBusyWith(failure);
    case RuntimeDownload::Ending::cancelled:
        setBusy(false);
        return setStatus("Download cancelled.");
    }
}

void AppDelegate::downloadSucceeded(const std::filesystem::path& cacheFile) {
    setBusy(false);
    setText("runtime", cacheFile.string());
    setStatus("\u2713 Runtime cached");
    save();
}

} // namespace bundlekiln::app
