#include "tool_failure.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace hosttools {

void throwErrno(std::string_view action, const std::filesystem::path& path) {
  const int error = errno;
  throw ToolFailure(std::string(action) + " " + path.string() + ": " + std::strerror(error) + ".");
}

int runTool(std::string_view tool, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& failure) {
    std::cerr << tool << ": " << failure.what() << '\n';
    return 1;
  }
}

}  // namespace hosttools
