#include "runtime_download.h"

#include "main_thread.h"
#include "no_clobber_move.h"
#include "runtime_cache.h"
#include "tool_runner.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>

#include <memory>
#include <system_error>

namespace bundlekiln::app {
namespace {

namespace fs = std::filesystem;
using Finished = std::function<void(const DownloadFailure&)>;

// A transfer that goes quiet for this long fails instead of hanging forever.
constexpr int idleTimeoutMilliseconds = 60'000;

/// The body as it arrives, and the first error writing it.
struct Transfer {
    QTemporaryFile file;
    QString writeError;
};

bool isSuccess(int status) { return static_cast<unsigned>(status - 200) <= 99; }

// A server that answered with a status outside the 200s failed the download,
// whatever error the transfer reports on top; a transfer error with no answer,
// or after a good one (a dropped connection), is that error.
DownloadFailure responseFailure(const QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = status.isValid();
    if (reply.error() != QNetworkReply::NoError && (!answered || isSuccess(status.toInt())))
        return reply.errorString().toStdString();
    if (!answered || !isSuccess(status.toInt())) return downloadFailedMessage;
    return std::nullopt;
}

// Runs off the main thread: the archive test and the move can take a while.
DownloadFailure installArchive(const fs::path& downloaded, const fs::path& cacheFile) {
    try {
        run("/usr/bin/unzip", {"-tq", downloaded.string()});
        fs::create_directories(cacheFile.parent_path());
        if (!moveWithoutReplacing(downloaded, cacheFile))
            throw fs::filesystem_error("Could not cache the runtime", downloaded, cacheFile,
                                       std::make_error_code(std::errc::file_exists));
        return std::nullopt;
    } catch (const std::exception& error) {
        return error.what();
    }
}

void finishInBackground(const fs::path& downloaded, const fs::path& cacheFile, Finished finished) {
    runInBackground([downloaded, cacheFile, finished = std::move(finished)] {
        DownloadFailure failure = installArchive(downloaded, cacheFile);
        std::error_code ignored;
        if (failure) fs::remove(downloaded, ignored);
        postToMainThread([finished, failure] { finished(failure); });
    });
}

void complete(QNetworkReply& reply, Transfer& transfer, const fs::path& cacheFile, Finished finished) {
    // An aborted reply is closed and holds nothing more to read.
    if (reply.isOpen() && transfer.file.write(reply.readAll()) < 0 && transfer.writeError.isEmpty())
        transfer.writeError = transfer.file.errorString();
    transfer.file.close();
    DownloadFailure failure = transfer.writeError.isEmpty() ? responseFailure(reply)
                                                            : DownloadFailure(transfer.writeError.toStdString());
    if (failure) {
        transfer.file.remove();
        return finished(failure);
    }
    // From here on the background work owns the file.
    transfer.file.setAutoRemove(false);
    finishInBackground(transfer.file.fileName().toStdString(), cacheFile, std::move(finished));
}

// Beside the cache folder rather than inside it, so that the cache only ever
// holds complete archives; on the same file system, so that the move is a rename.
std::shared_ptr<Transfer> openTemporaryFile(const fs::path& cacheFile, DownloadFailure& failure) {
    const fs::path beside = cacheFile.parent_path().parent_path();
    std::error_code error;
    fs::create_directories(beside, error);
    auto transfer = std::make_shared<Transfer>();
    transfer->file.setFileTemplate(QString::fromStdString((beside / ".bundlekiln-download-XXXXXX").string()));
    if (!transfer->file.open()) failure = transfer->file.errorString().toStdString();
    return transfer;
}

} // namespace

void fetchRuntimeArchive(QNetworkAccessManager& network, const QUrl& address, const fs::path& cacheFile,
                         Finished finished) {
    DownloadFailure failure;
    const std::shared_ptr<Transfer> transfer = openTemporaryFile(cacheFile, failure);
    if (failure) return postToMainThread([finished, failure] { finished(failure); });

    QNetworkRequest request(address);
    request.setTransferTimeout(idleTimeoutMilliseconds);
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, transfer] {
        if (transfer->file.write(reply->readAll()) >= 0) return;
        transfer->writeError = transfer->file.errorString();
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, transfer, cacheFile, finished] {
        reply->deleteLater();
        complete(*reply, *transfer, cacheFile, finished);
    });
}

} // namespace bundlekiln::app
