#pragma once

#include <QObject>
#include <QPointer>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;

namespace bundlekiln::app {

/// One download of a runtime archive at `address` (redirects followed) into
/// the cache as `cacheFile`. The body goes to a hidden temporary file beside
/// the cache folder, on the same file system; once it is complete, a
/// background thread tests it with "/usr/bin/unzip -tq", creates the cache
/// folder and moves the file into place without replacing anything. A
/// transfer error, an answer outside 200–299, nothing received for the stall
/// limit, a damaged archive or a file that appeared at `cacheFile` meanwhile
/// is a failure; `cancel` stops the download. Whatever ends it other than
/// success, nothing but a complete, tested archive reaches the cache and the
/// temporary file is removed.
///
/// It starts when made. `progressed` and `finished` run on the main thread;
/// `finished` runs once, and the object then deletes itself. Deleting it
/// earlier (with its parent) aborts the transfer and reports nothing.
class RuntimeDownload : public QObject {
public:
    enum class Ending { cached, failed, cancelled };
    using Progressed = std::function<void(std::int64_t received, std::int64_t total)>;
    /// `failure` describes why a failed download did not end in the cache.
    using Finished = std::function<void(Ending ending, const std::string& failure)>;

    RuntimeDownload(QNetworkAccessManager& network, const QUrl& address, std::filesystem::path cacheFile,
                    std::chrono::milliseconds stallLimit, Progressed progressed, Finished finished);

    /// Stops the transfer, or keeps a tested archive out of the cache. Too
    /// late once the archive is being moved into place: then it ends cached.
    void cancel();

private:
    void start(QNetworkAccessManager& network, const QUrl& address, std::chrono::milliseconds stallLimit);
    void receive();
    void complete();
    void installInBackground();
    void finish(Ending ending, const std::string& failure = {});

    std::filesystem::path cacheFile_;
    Progressed progressed_;
    Finished finished_;
    QTemporaryFile body_;
    QString writeError_;
    std::int64_t received_ = 0;
    QPointer<QNetworkReply> reply_;
    QTimer stallTimer_;
    bool stalled_ = false;
    /// Shared with the background thread that tests and moves the archive.
    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace bundlekiln::app
