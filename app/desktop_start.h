#pragma once

namespace bundlekiln::app {

/// Starts the desktop application: its one window, then the event loop.
/// Returns 0 when the loop ends.
int runDesktop(int& argc, char** argv);

} // namespace bundlekiln::app
