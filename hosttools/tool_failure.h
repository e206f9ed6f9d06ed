#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hosttools {

/// A failure that a stand-in reports to the user as one sentence naming the
/// file concerned. The engine shows the tool's output whole, so the sentence
/// must make sense on its own.
class ToolFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Throws ToolFailure "<action> <path>: <reason for errno>.", e.g.
/// "Could not open /a/b: No such file or directory."
[[noreturn]] void throwErrno(std::string_view action, const std::filesystem::path& path);

/// Runs `body` and returns its status; any exception it throws is printed on
/// stderr as "<tool>: <message>" and turned into status 1.
int runTool(std::string_view tool, const std::function<int()>& body);

}  // namespace hosttools
