#include "work_progress.h"

#include <algorithm>
#include <cstdio>

namespace bundlekiln::app {
namespace {

std::string megabytes(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

} // namespace

int buildStageCount(const BuildOptions& options) {
    const int alwaysRun = 3;
    return alwaysRun + !options.notaryProfile.empty() + options.zip + options.dmg();
}

int transferPercent(std::int64_t received, std::int64_t total) {
    return static_cast<int>(std::clamp<std::int64_t>(received * 100 / total, 0, 100));
}

std::string transferText(std::int64_t received, std::int64_t total) {
    if (total <= 0) return megabytes(received);
    return megabytes(received) + " of " + megabytes(total) + " (" +
           std::to_string(transferPercent(received, total)) + "%)";
}

} // namespace bundlekiln::app
