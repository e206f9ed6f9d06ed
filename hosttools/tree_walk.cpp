#include "tree_walk.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "tool_failure.h"

namespace hosttools {
namespace {

std::vector<std::filesystem::path> sortedChildren(const std::filesystem::path& directory) {
  std::error_code error;
  std::vector<std::filesystem::path> children;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    children.push_back(it->path());
  }
  if (error) {
    throw ToolFailure("Could not list the folder " + directory.string() + ": " + error.message() + ".");
  }
  // Siblings share their parent's text, so comparing whole texts orders them by name, far more
  // cheaply than comparing paths element by element.
  std::sort(children.begin(), children.end(),
            [](const std::filesystem::path& a, const std::filesystem::path& b) { return a.native() < b.native(); });
  return children;
}

void walkEntry(const std::filesystem::path& path, const TreeVisitor& visit) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) throwErrno("Could not read", path);
  visit(path, status);
  if (!S_ISDIR(status.st_mode)) return;
  for (const auto& child : sortedChildren(path)) walkEntry(child, visit);
}

}  // namespace

void walkTree(const std::filesystem::path& root, const TreeVisitor& visit) { walkEntry(root, visit); }

}  // namespace hosttools
