#pragma once

#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;

namespace bundlekiln::app {

/// The description of why a download did not end in the cache; none when it did.
using DownloadFailure = std::optional<std::string>;

/// Downloads the runtime archive at `address` (redirects followed) and caches
/// it as `cacheFile`. The body goes to a hidden temporary file beside the
/// cache folder, on the same file system; once it is complete, a background
/// thread tests it with "/usr/bin/unzip -tq", creates the cache folder and
/// moves the file into place without replacing anything. `finished` then runs
/// on the main thread. A transfer error, an answer outside 200–299, a damaged
/// archive or a file that appeared at `cacheFile` meanwhile is a failure, and
/// whatever fails, nothing but a complete, tested archive reaches the cache and
/// the temporary file is removed.
void fetchRuntimeArchive(QNetworkAccessManager& network, const QUrl& address, const std::filesystem::path& cacheFile,
                         std::function<void(const DownloadFailure&)> finished);

} // namespace bundlekiln::app
