#include "zip_creation.h"

#include <sys/stat.h>

#include <string>

#include "path_containment.h"
#include "pending_file.h"
#include "tool_failure.h"
#include "top_level_name.h"
#include "tree_walk.h"
#include "zip_writer.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

std::string readSymlink(const fs::path& link) {
  std::error_code error;
  const auto target = fs::read_symlink(link, error);
  if (error) throw ToolFailure("Could not read the symlink " + link.string() + ": " + error.message() + ".");
  return target.string();
}

void addEntry(ZipWriter& writer, const std::string& name, const fs::path& path, const struct stat& status) {
  if (S_ISDIR(status.st_mode)) writer.addFolder(name, status);
  else if (S_ISREG(status.st_mode)) writer.addFile(name, path, status);
  else if (S_ISLNK(status.st_mode)) writer.addSymlink(name, readSymlink(path), status);
  else throw ToolFailure("Could not add " + path.string() + " to the archive: it is a device, socket or FIFO.");
}

}  // namespace

void createZip(const fs::path& source, const fs::path& archivePath) {
  struct stat status {};
  if (::lstat(source.c_str(), &status) != 0) throwErrno("Could not read", source);
  if (S_ISDIR(status.st_mode) && isSameOrInside(archivePath, source)) {
    throw ToolFailure("Could not create the archive " + archivePath.string() + " inside the folder it archives, " +
                      source.string() + ".");
  }
  const auto top = topLevelName(source, "archive");
  PendingFile pending(archivePath, "the archive");
  ZipWriter writer(pending.fd(), "the archive " + archivePath.string());
  walkTree(source, [&](const fs::path& path, const struct stat& entryStatus) {
    const auto relative = path.lexically_relative(source);
    addEntry(writer, (relative == "." ? top : top / relative).string(), path, entryStatus);
  });
  writer.finish();
  pending.commit();
}

}  // namespace hosttools
