#pragma once

namespace bundlekiln::app {

/// Starts the desktop application: its one window, then the event loop.
/// Returns 0 when the loop ends, or 1 with a message on standard error when
/// there is no display to open the window on.
int runDesktop(int& argc, char** argv);

} // namespace bundlekiln::app
