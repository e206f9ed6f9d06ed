#pragma once

namespace bundlekiln::cli {

/// Loads the desktop window's module, installed beside the program as
/// <prefix>/libexec/bundlekiln/desktop.so, and runs the window. Returns its
/// exit status, or 1 with a message on standard error when the module cannot
/// be loaded.
int runDesktopWindow(int& argc, char** argv);

} // namespace bundlekiln::cli
