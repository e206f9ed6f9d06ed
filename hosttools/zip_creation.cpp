#include "zip_creation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "archive_handle.h"
#include "path_containment.h"
#include "pending_file.h"
#include "tool_failure.h"
#include "top_level_name.h"
#include "tree_walk.h"
#include "unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferSize = 64 * 1024;

std::string readSymlink(const fs::path& link) {
  std::error_code error;
  const auto target = fs::read_symlink(link, error);
  if (error) throw ToolFailure("Could not read the symlink " + link.string() + ": " + error.message() + ".");
  return target.string();
}

void writeFileData(archive* writer, const fs::path& file) {
  UniqueFd in(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.valid()) throwErrno("Could not open", file);
  std::vector<char> buffer(kBufferSize);
  while (true) {
    const auto got = ::read(in.get(), buffer.data(), buffer.size());
    if (got == 0) return;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throwErrno("Could not read", file);
    if (archive_write_data(writer, buffer.data(), static_cast<size_t>(got)) < 0) {
      throw ToolFailure("Could not add " + file.string() + " to the archive: " + archiveError(writer) + ".");
    }
  }
}

ArchiveEntry makeEntry(const fs::path& name, const fs::path& path, const struct stat& status) {
  ArchiveEntry entry(archive_entry_new());
  archive_entry_copy_pathname(entry.get(), name.c_str());
  archive_entry_copy_stat(entry.get(), &status);
  if (S_ISLNK(status.st_mode)) archive_entry_copy_symlink(entry.get(), readSymlink(path).c_str());
  if (!S_ISREG(status.st_mode)) archive_entry_set_size(entry.get(), 0);
  return entry;
}

void addEntry(archive* writer, const fs::path& name, const fs::path& path, const struct stat& status) {
  if (!S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
    throw ToolFailure("Could not add " + path.string() + " to the archive: it is a device, socket or FIFO.");
  }
  const ArchiveEntry entry = makeEntry(name, path, status);
  if (archive_write_header(writer, entry.get()) != ARCHIVE_OK) {
    throw ToolFailure("Could not add " + path.string() + " to the archive: " + archiveError(writer) + ".");
  }
  if (S_ISREG(status.st_mode)) writeFileData(writer, path);
}

ArchiveWriter openZipWriter(int fd, const fs::path& archivePath) {
  ArchiveWriter writer(archive_write_new());
  if (archive_write_set_format_zip(writer.get()) != ARCHIVE_OK ||
      archive_write_zip_set_compression_deflate(writer.get()) != ARCHIVE_OK ||
      archive_write_open_fd(writer.get(), fd) != ARCHIVE_OK) {
    throw ToolFailure("Could not create the archive " + archivePath.string() + ": " + archiveError(writer.get()) + ".");
  }
  return writer;
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
  const ArchiveWriter writer = openZipWriter(pending.fd(), archivePath);
  walkTree(source, [&](const fs::path& path, const struct stat& entryStatus) {
    const auto relative = path.lexically_relative(source);
    addEntry(writer.get(), relative == "." ? top : top / relative, path, entryStatus);
  });
  if (archive_write_close(writer.get()) != ARCHIVE_OK) {
    throw ToolFailure("Could not finish the archive " + archivePath.string() + ": " + archiveError(writer.get()) + ".");
  }
  pending.commit();
}

}  // namespace hosttools
