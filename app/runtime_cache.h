#pragma once

#include <QUrl>

#include <filesystem>
#include <string>

namespace bundlekiln::app {

/// The per-user runtime cache: "Bundlekiln" in the platform's application-data
/// folder (on Linux XDG_DATA_HOME, or ~/.local/share). Not created here.
std::filesystem::path runtimeCacheFolder();

/// "nwjs-v" + version + "-osx-" + architecture + ".zip", the name of the
/// runtime archive both in the cache and on the download server.
std::string runtimeArchiveName(const std::string& version, const std::string& architecture);

/// The download server: BUNDLEKILN_NWJS_BASE_URL when set (tests point it at
/// a loopback server), otherwise the NW.js project's own.
std::string downloadServer();

/// Server + "/v" + version + "/" + archive name.
QUrl runtimeDownloadAddress(const std::string& version, const std::string& archiveName);

/// The failure of a download that brought no HTTP answer in the 200s.
inline constexpr const char* downloadFailedMessage =
    "The runtime download failed. Try again or choose an existing ZIP.";

/// The failure of a download that received nothing for its stall limit.
inline constexpr const char* stalledDownloadMessage =
    "The download stalled. Try again or choose an existing ZIP.";

/// The first line of the failure of a download that is no intact ZIP archive;
/// the archive test's own report follows.
inline constexpr const char* damagedDownloadMessage =
    "The downloaded file is not a valid ZIP archive. Try again or choose an existing ZIP.";

} // namespace bundlekiln::app
