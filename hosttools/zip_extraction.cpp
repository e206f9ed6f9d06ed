#include "zip_extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "archive_handle.h"
#include "tool_failure.h"
#include "unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBlockSize = 64 * 1024;

// Entry names are made relative to the working folder, which is the target;
// the secure flags then keep every entry inside it.
constexpr int kExtractFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                              ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

UniqueFd openArchiveFile(const fs::path& archivePath) {
  // O_NONBLOCK so that a FIFO given by mistake is refused instead of hanging.
  UniqueFd fd(::open(archivePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) throwErrno("Could not open the archive", archivePath);
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) throwErrno("Could not read the archive", archivePath);
  if (!S_ISREG(status.st_mode)) throw ToolFailure("The archive " + archivePath.string() + " is not a regular file.");
  return fd;
}

ArchiveReader openZipReader(int fd, const fs::path& archivePath) {
  ArchiveReader reader(archive_read_new());
  archive_read_support_format_zip(reader.get());
  if (archive_read_open_fd(reader.get(), fd, kReadBlockSize) != ARCHIVE_OK) {
    throw ToolFailure("Could not read the archive " + archivePath.string() + ": " + archiveError(reader.get()) + ".");
  }
  return reader;
}

void enterDirectory(const fs::path& directory) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) throw ToolFailure("Could not create the folder " + directory.string() + ": " + error.message() + ".");
  if (::chdir(directory.c_str()) != 0) throwErrno("Could not enter the folder", directory);
}

/// Reports a failed entry with the reason libarchive gives on `handle`.
[[noreturn]] void throwEntryFailure(const std::string& what, archive_entry* entry, const fs::path& archivePath,
                                    archive* handle) {
  const char* name = archive_entry_pathname(entry);
  throw ToolFailure(what + " '" + (name != nullptr ? name : "") + "' of the archive " + archivePath.string() +
                    ": " + archiveError(handle) + ".");
}

void copyEntryData(archive* reader, archive* writer, archive_entry* entry, const fs::path& archivePath) {
  const void* block = nullptr;
  size_t size = 0;
  la_int64_t offset = 0;
  while (true) {
    const int status = archive_read_data_block(reader, &block, &size, &offset);
    if (status == ARCHIVE_EOF) return;
    if (status != ARCHIVE_OK) throwEntryFailure("Could not read the entry", entry, archivePath, reader);
    if (archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK) {
      throwEntryFailure("Could not write the entry", entry, archivePath, writer);
    }
  }
}

void extractEntry(archive* reader, archive* writer, archive_entry* entry, const fs::path& archivePath) {
  if (archive_write_header(writer, entry) != ARCHIVE_OK) {
    throwEntryFailure("Refused to extract the entry", entry, archivePath, writer);
  }
  copyEntryData(reader, writer, entry, archivePath);
  if (archive_write_finish_entry(writer) != ARCHIVE_OK) {
    throwEntryFailure("Could not finish the entry", entry, archivePath, writer);
  }
}

}  // namespace

void extractZip(const fs::path& archivePath, const fs::path& directory) {
  const UniqueFd fd = openArchiveFile(archivePath);
  const ArchiveReader reader = openZipReader(fd.get(), archivePath);
  const ArchiveWriter writer(archive_write_disk_new());
  archive_write_disk_set_options(writer.get(), kExtractFlags);
  enterDirectory(directory);
  archive_entry* entry = nullptr;
  while (true) {
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) {
      throw ToolFailure("Could not read the archive " + archivePath.string() + ": " + archiveError(reader.get()) + ".");
    }
    extractEntry(reader.get(), writer.get(), entry, archivePath);
  }
  // Folder times and modes are applied here, after their contents.
  if (archive_write_close(writer.get()) != ARCHIVE_OK) {
    throw ToolFailure("Could not finish extracting " + archivePath.string() + ": " + archiveError(writer.get()) + ".");
  }
}

}  // namespace hosttools
