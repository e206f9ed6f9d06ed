#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace hosttools {

/// A failure that a stand-in reports to the user as one sentence naming the
/// file concerned. The engine shows the tool's output whole, so the sentence
/// must make sense on its own. A path deep in a tree can be far longer than a
/// line, so a failure may hold its path apart from the words around it, for
/// the walk that knows the tree's top to shorten (shortenPathBelow).
class ToolFailure : public std::exception {
public:
    explicit ToolFailure(std::string message);
    /// The message "<before><path><after>".
    ToolFailure(std::string before, std::filesystem::path path, std::string after);
    /// The message "<action> <path>: <the error's reason>.", as posix::throwFileError makes it.
    ToolFailure(const std::string& action, const std::filesystem::path& path, std::error_code error);

    const char* what() const noexcept override { return message_.c_str(); }

    /// Names the path as shownPath(path, top) does.
    void shortenPathBelow(const std::filesystem::path& top);

private:
    std::string before_;
    std::filesystem::path path_;
    std::string after_;
    std::string message_;
};

/// `path` as a message names it: whole when it is short, otherwise as `top`,
/// an ellipsis and the path's own last name, so that a message about an entry
/// hundreds of folders down stays one short line.
std::string shownPath(const std::filesystem::path& path, const std::filesystem::path& top);

/// Throws ToolFailure "<action> <path>: <reason for errno>.", e.g.
/// "Could not open /a/b: No such file or directory."
[[noreturn]] void throwErrno(std::string_view action, const std::filesystem::path& path);

/// Runs `body` and returns its status; any exception it throws is printed on
/// stderr as "<tool>: <message>" and turned into status 1.
int runTool(std::string_view tool, const std::function<int()>& body);

} // namespace hosttools
