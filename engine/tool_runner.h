#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bundlekiln {

/// Runs one tool by absolute path (resolved against the tool root) with its
/// arguments passed as they are, no shell. Returns everything the tool wrote to
/// standard output and standard error, interleaved as written, or the empty
/// text when those bytes are not UTF-8.
///
/// Throws std::system_error when the tool cannot be started, BuilderError with
/// the whole output less its final line breaks when it exits non-zero (or
/// "Command failed: " + path when it printed nothing), and BuildInterrupted
/// when the build was asked to stop.
std::string run(const std::string& tool, const std::vector<std::string>& arguments,
                const std::optional<std::filesystem::path>& currentDirectory = std::nullopt);

/// `run` for the best-effort steps: a tool that fails or cannot start is
/// passed over, but a request to stop the build still ends it.
void runIgnoringFailure(const std::string& tool, const std::vector<std::string>& arguments);

} // namespace bundlekiln
