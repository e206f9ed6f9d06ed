#include "common/tool_failure.h"

#include <cerrno>
#include <iostream>

#include "posix/file_error.h"

namespace hosttools {

namespace {

// Longer than any path a real bundle holds, yet short enough for one line.
constexpr std::size_t kLongestShownPath = 1024;

} // namespace

ToolFailure::ToolFailure(std::string message) : before_(std::move(message)), message_(before_) {}

ToolFailure::ToolFailure(std::string before, std::filesystem::path path, std::string after)
    : before_(std::move(before)),
      path_(std::move(path)),
      after_(std::move(after)),
      message_(before_ + path_.string() + after_) {}

ToolFailure::ToolFailure(const std::string& action, const std::filesystem::path& path, std::error_code error)
    : ToolFailure(action + " ", path, ": " + error.message() + ".") {}

void ToolFailure::shortenPathBelow(const std::filesystem::path& top) {
    if (!path_.empty()) message_ = before_ + shownPath(path_, top) + after_;
}

std::string shownPath(const std::filesystem::path& path, const std::filesystem::path& top) {
    if (path.native().size() <= kLongestShownPath) return path.string();
    return (top / "\u2026" / path.filename()).string();
}

void throwErrno(std::string_view action, const std::filesystem::path& path) {
    const int error = errno; // before anything else may change it
    posix::throwFileError<ToolFailure>(action, path, error);
}

int runTool(std::string_view tool, const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::exception& failure) {
        std::cerr << tool << ": " << failure.what() << '\n';
        return 1;
    }
}

} // namespace hosttools
