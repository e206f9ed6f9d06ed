#pragma once

#include <filesystem>
#include <optional>

namespace bundlekiln {

/// An image's size as the platform reports it: points, not pixels.
struct ReportedSize {
    double width = 0;
    double height = 0;
};

/// The reported size of the PNG at `path`: its pixel size scaled by the
/// pHYs resolution (72 dots per inch is one point per pixel; no pHYs, or one
/// without a unit, counts as 72). Empty when the file is not a PNG that
/// decodes completely, so a damaged image is refused before any tool runs.
/// Throws BuilderError "The icon is too large: ..." when its header states a
/// side over 16384 pixels, before any row is decoded, and "The icon is not a
/// regular file." for a pipe, device or link; other open errors pass through
/// as std::filesystem::filesystem_error.
std::optional<ReportedSize> pngReportedSize(const std::filesystem::path& path);

} // namespace bundlekiln
