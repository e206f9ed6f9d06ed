#pragma once

#include <string>
#include <vector>

namespace hosttools_test {

/// What a finished child process left: its exit status (-1 when killed by a
/// signal) and what it wrote on each stream.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs argv[0] (an absolute path) with the given arguments and waits for it.
/// Throws std::runtime_error when it cannot be started.
ProcessResult runProcess(const std::vector<std::string>& argv);

/// Runs the stand-in `tool` from the build tree's tool root.
ProcessResult runTool(const std::string& tool, const std::vector<std::string>& arguments);

} // namespace hosttools_test
