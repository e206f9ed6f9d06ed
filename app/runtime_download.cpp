#include "runtime_download.h"

#include "builder_error.h"
#include "main_thread.h"
#include "no_clobber_move.h"
#include "runtime_cache.h"
#include "tool_runner.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <optional>
#include <system_error>

namespace bundlekiln::app {
namespace {

namespace fs = std::filesystem;
using Ending = RuntimeDownload::Ending;

struct Outcome {
    Ending ending;
    std::string failure;
};

bool isSuccess(int status) {
    return static_cast<unsigned>(status - 200) <= 99;
}

// A server that answered with a status outside the 200s failed the download,
// whatever error the transfer reports on top; a transfer error with no answer,
// or after a good one (a dropped connection), is that error.
std::optional<std::string> responseFailure(const QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = status.isValid();
    if (reply.error() != QNetworkReply::NoError && (!answered || isSuccess(status.toInt())))
        return reply.errorString().toStdString();
    if (!answered || !isSuccess(status.toInt())) return downloadFailedMessage;
    return std::nullopt;
}

// The tool's report runs to several lines and names the temporary file; the
// sentence before it says what it means.
void testArchive(const fs::path& downloaded) {
    try {
        run("/usr/bin/unzip", {"-tq", downloaded.string()});
    } catch (const BuilderError& error) {
        throw BuilderError(std::string(damagedDownloadMessage) + "\n" + error.what());
    }
}

// Runs off the main thread: the archive test and the move can take a while.
Outcome installArchive(const fs::path& downloaded, const fs::path& cacheFile,
                       const std::atomic<bool>& cancelled) {
    try {
        testArchive(downloaded);
        if (cancelled) return {Ending::cancelled, {}};
        fs::create_directories(cacheFile.parent_path());
        if (!moveWithoutReplacing(downloaded, cacheFile))
            throw fs::filesystem_error("Could not cache the runtime", downloaded, cacheFile,
                                       std::make_error_code(std::errc::file_exists));
        return {Ending::cached, {}};
    } catch (const std::exception& error) {
        return {cancelled ? Ending::cancelled : Ending::failed, error.what()};
    }
}

} // namespace

RuntimeDownload::RuntimeDownload(QNetworkAccessManager& network, const QUrl& address, fs::path cacheFile,
                                 std::chrono::milliseconds stallLimit, Progressed progressed,
                                 Finished finished)
    : QObject(&network),
      cacheFile_(std::move(cacheFile)),
      progressed_(std::move(progressed)),
      finished_(std::move(finished)) {
    start(network, address, stallLimit);
}

void RuntimeDownload::cancel() {
    *cancelled_ = true;
    if (reply_ && reply_->isRunning()) reply_->abort();
}

// The body goes beside the cache folder rather than inside it, so that the
// cache only ever holds complete archives; on the same file system, so that
// the move is a rename.
void RuntimeDownload::start(QNetworkAccessManager& network, const QUrl& address,
                            std::chrono::milliseconds stallLimit) {
    const fs::path beside = cacheFile_.parent_path().parent_path();
    std::error_code ignored;
    fs::create_directories(beside, ignored);
    body_.setFileTemplate(QString::fromStdString((beside / ".bundlekiln-download-XXXXXX").string()));
    if (!body_.open()) {
        // From the event loop, as every ending, so never before the maker holds the object.
        QTimer::singleShot(0, this, [this] { finish(Ending::failed, body_.errorString().toStdString()); });
        return;
    }
    reply_ = network.get(QNetworkRequest(address));
    reply_->setParent(this);
    stallTimer_.setSingleShot(true);
    stallTimer_.setInterval(stallLimit);
    connect(&stallTimer_, &QTimer::timeout, this, [this] {
        stalled_ = true;
        reply_->abort();
    });
    connect(reply_, &QNetworkReply::readyRead, this, [this] { receive(); });
    connect(reply_, &QNetworkReply::finished, this, [this] { complete(); });
    stallTimer_.start();
}

// Qt's own progress signal keeps 100 ms between reports, so a transfer that
// stops would show less than it got; this reports every arrival.
void RuntimeDownload::receive() {
    stallTimer_.start();
    const qint64 written = body_.write(reply_->readAll());
    if (written < 0) {
        writeError_ = body_.errorString();
        return reply_->abort();
    }
    received_ += written;
    progressed_(received_, reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong());
}

void RuntimeDownload::complete() {
    stallTimer_.stop();
    // An aborted reply is closed and holds nothing more to read.
    if (reply_->isOpen() && body_.write(reply_->readAll()) < 0 && writeError_.isEmpty())
        writeError_ = body_.errorString();
    body_.close();
    std::optional<std::string> failure =
        !writeError_.isEmpty() ? writeError_.toStdString() : responseFailure(*reply_);
    if (stalled_) failure = stalledDownloadMessage;
    if (!*cancelled_ && !failure) return installInBackground();
    // Removed now, not when the object goes, so that nothing is left when the window hears of the end.
    body_.remove();
    finish(*cancelled_ ? Ending::cancelled : Ending::failed, failure.value_or(""));
}

void RuntimeDownload::installInBackground() {
    // From here on the background work owns the file.
    body_.setAutoRemove(false);
    runInBackground([self = QPointer<RuntimeDownload>(this),
                     downloaded = fs::path(body_.fileName().toStdString()), cacheFile = cacheFile_,
                     cancelled = cancelled_] {
        const Outcome outcome = installArchive(downloaded, cacheFile, *cancelled);
        std::error_code ignored;
        if (outcome.ending != Ending::cached) fs::remove(downloaded, ignored);
        postToMainThread([self, outcome] {
            if (self) self->finish(outcome.ending, outcome.failure);
        });
    });
}

void RuntimeDownload::finish(Ending ending, const std::string& failure) {
    // The transfer may still signal while it winds down; the window has heard the end.
    if (reply_) reply_->disconnect(this);
    deleteLater();
    finished_(ending, failure);
}

} // namespace bundlekiln::app
