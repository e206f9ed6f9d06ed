#include "tree_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>

#include "file_contents_copy.h"
#include "path_containment.h"
#include "tool_failure.h"
#include "unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

/// One side of a copy step: a name relative to an open folder (or to the
/// working folder via AT_FDCWD), with its full path for messages.
struct Location {
  int folder;
  std::string name;
  fs::path path;

  Location child(int childFolder, const std::string& childName) const {
    return {childFolder, childName, path / childName};
  }
};

void copyEntry(const Location& source, const struct stat& status, const Location& destination);

void applyTimes(const Location& destination, const struct stat& status) {
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  if (::utimensat(destination.folder, destination.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throwErrno("Could not set the times of", destination.path);
  }
}

/// Frees the destination name for a new non-folder entry. Refuses to replace
/// a folder (that would lose what is in it) or to copy a file onto itself.
void clearWayForEntry(const struct stat& sourceStatus, const Location& destination) {
  struct stat existing {};
  if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return;
    throwErrno("Could not read", destination.path);
  }
  if (existing.st_dev == sourceStatus.st_dev && existing.st_ino == sourceStatus.st_ino) {
    throw ToolFailure("Could not copy onto " + destination.path.string() + ": it is the source itself.");
  }
  if (S_ISDIR(existing.st_mode)) {
    throw ToolFailure("Could not replace the folder " + destination.path.string() + " with a file.");
  }
  if (::unlinkat(destination.folder, destination.name.c_str(), 0) != 0) {
    throwErrno("Could not replace", destination.path);
  }
}

void copyRegularFile(const Location& source, const struct stat& status, const Location& destination) {
  UniqueFd in(::openat(source.folder, source.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.valid()) throwErrno("Could not open", source.path);
  clearWayForEntry(status, destination);
  // Created private and given its mode only when complete, so nobody sees a
  // half-written file with the final permissions.
  UniqueFd out(::openat(destination.folder, destination.name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) throwErrno("Could not create", destination.path);
  copyFileContents(in.get(), out.get(), source.path, destination.path);
  if (::fchmod(out.get(), status.st_mode & 07777) != 0) throwErrno("Could not set the mode of", destination.path);
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  if (::futimens(out.get(), times) != 0) throwErrno("Could not set the times of", destination.path);
  if (out.close() != 0) throwErrno("Could not write", destination.path);
}

std::string readSymlink(const Location& source, const struct stat& status) {
  // The size lstat reports can be stale, so grow until the target fits.
  for (std::size_t size = static_cast<std::size_t>(status.st_size) + 1;; size *= 2) {
    std::string target(size, '\0');
    const auto length = ::readlinkat(source.folder, source.name.c_str(), target.data(), size);
    if (length < 0) throwErrno("Could not read the symlink", source.path);
    if (static_cast<std::size_t>(length) < size) return target.substr(0, static_cast<std::size_t>(length));
  }
}

void copySymlink(const Location& source, const struct stat& status, const Location& destination) {
  const auto target = readSymlink(source, status);
  clearWayForEntry(status, destination);
  if (::symlinkat(target.c_str(), destination.folder, destination.name.c_str()) != 0) {
    throwErrno("Could not create the symlink", destination.path);
  }
  applyTimes(destination, status);
}

/// Makes the destination folder, or keeps an existing one to merge into.
void prepareFolder(const Location& destination) {
  if (::mkdirat(destination.folder, destination.name.c_str(), 0700) == 0) return;
  if (errno != EEXIST) throwErrno("Could not create the folder", destination.path);
  struct stat existing {};
  if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    throwErrno("Could not read", destination.path);
  }
  if (S_ISDIR(existing.st_mode)) return;
  // A file or symlink where a folder belongs is replaced; a symlink must never
  // be followed, or the copy would land wherever it points.
  if (::unlinkat(destination.folder, destination.name.c_str(), 0) != 0 ||
      ::mkdirat(destination.folder, destination.name.c_str(), 0700) != 0) {
    throwErrno("Could not replace with a folder", destination.path);
  }
}

UniqueFd openFolder(const Location& location) {
  UniqueFd folder(::openat(location.folder, location.name.c_str(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.valid()) throwErrno("Could not open the folder", location.path);
  return folder;
}

void copyChildren(int sourceFolder, const Location& source, int destinationFolder, const Location& destination) {
  DIR* listing = ::fdopendir(::dup(sourceFolder));
  if (listing == nullptr) throwErrno("Could not list the folder", source.path);
  std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, ::closedir);
  errno = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat status {};
    const auto child = source.child(sourceFolder, name);
    if (::fstatat(sourceFolder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) throwErrno("Could not read", child.path);
    copyEntry(child, status, destination.child(destinationFolder, name));
    errno = 0;
  }
  if (errno != 0) throwErrno("Could not list the folder", source.path);
}

void copyFolder(const Location& source, const struct stat& status, const Location& destination) {
  const UniqueFd sourceFolder = openFolder(source);
  prepareFolder(destination);
  const UniqueFd destinationFolder = openFolder(destination);
  copyChildren(sourceFolder.get(), source, destinationFolder.get(), destination);
  // Mode and times last: the folder is written into above, and a read-only
  // mode would forbid that while filling in a new entry bumps its mtime.
  if (::fchmod(destinationFolder.get(), status.st_mode & 07777) != 0) {
    throwErrno("Could not set the mode of", destination.path);
  }
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  if (::futimens(destinationFolder.get(), times) != 0) throwErrno("Could not set the times of", destination.path);
}

void copyEntry(const Location& source, const struct stat& status, const Location& destination) {
  if (S_ISDIR(status.st_mode)) return copyFolder(source, status, destination);
  if (S_ISREG(status.st_mode)) return copyRegularFile(source, status, destination);
  if (S_ISLNK(status.st_mode)) return copySymlink(source, status, destination);
  throw ToolFailure("Could not copy " + source.path.string() + ": it is a device, socket or FIFO.");
}

fs::path withoutTrailingSeparator(fs::path path) {
  return path.has_filename() || !path.has_parent_path() ? path : path.parent_path();
}

void createParents(const fs::path& path) {
  std::error_code error;
  if (!path.empty()) fs::create_directories(path, error);
  if (error) throw ToolFailure("Could not create the folder " + path.string() + ": " + error.message() + ".");
}

}  // namespace

void copyTree(const fs::path& source, const fs::path& destinationArgument) {
  struct stat status {};
  if (::lstat(source.c_str(), &status) != 0) throwErrno("Could not read", source);
  if (S_ISDIR(status.st_mode) && isSameOrInside(destinationArgument, source)) {
    throw ToolFailure("Could not copy " + source.string() + " into " + destinationArgument.string() +
                      ": the destination lies inside the source.");
  }
  auto destination = withoutTrailingSeparator(destinationArgument);
  std::error_code error;
  if (fs::is_directory(destination, error)) {
    // A symlink the user named as the destination folder is honoured; below
    // it nothing is followed.
    destination = fs::canonical(destination, error);
    if (!S_ISDIR(status.st_mode)) destination /= withoutTrailingSeparator(source).filename();
  }
  createParents(destination.parent_path());
  copyEntry({AT_FDCWD, source.string(), source}, status, {AT_FDCWD, destination.string(), destination});
}

}  // namespace hosttools
