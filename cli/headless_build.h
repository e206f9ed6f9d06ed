#pragma once

#include "command_line.h"

namespace bundlekiln::cli {

/// Runs one build from the command line: progress lines on standard output,
/// at most one line on standard error. Returns the exit status: 0 built, 1
/// failed, 2 a required option missing. A build stopped by SIGINT or SIGTERM
/// first removes its staging folder, then ends the process by that signal.
int runHeadlessBuild(const Arguments& arguments);

} // namespace bundlekiln::cli
