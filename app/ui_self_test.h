#pragma once

#include <QRect>

#include <filesystem>
#include <string>
#include <vector>

class QWidget;

namespace bundlekiln::app {

class AppDelegate;

/// Whether one of the arguments is exactly "--self-test-ui".
bool selfTestRequested(const std::vector<std::string>& arguments);

/// "/private/tmp/nw-ui-stage" where /private/tmp exists (macOS), otherwise
/// "/tmp/nw-ui-stage": where a launch in self-test mode says how far it got.
std::filesystem::path stageMarkerFile();

/// Replaces the stage marker, atomically, with `stage` (no line end). A marker
/// that cannot be written is passed over: it only informs an outside runner.
void markStage(const std::string& stage);

/// The success line's rectangle: "(x, y, width, height)", each number with a
/// fractional part, such as "(0.0, 0.0, 780.0, 1234.0)".
std::string boundsText(const QRectF& bounds);

/// The self-test, on the main thread, through the real controls: the frame
/// options exclude each other, a name survives a save into the store, and the
/// whole form with the footer beneath it renders into a PNG at `image` (a
/// render or write that fails only leaves no image). Then it prints the
/// success line with the bounds of that picture and asks the application to
/// quit by its normal path. A failed check ends the process at once with
/// status 1, a line on standard error and no quit path.
void runSelfTest(AppDelegate& delegate, QWidget& formStack, QWidget& footer,
                 const std::filesystem::path& image);

} // namespace bundlekiln::app
