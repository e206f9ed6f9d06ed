#include "atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

void writeAll(int descriptor, std::string_view contents, const fs::path& path) {
    while (!contents.empty()) {
        const ssize_t written = write(descriptor, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) fail("Could not write", path, errno);
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

/// Writes and flushes the temporary file; closes it in every case.
void fillTemporary(int descriptor, std::string_view contents, const fs::path& temporary) {
    try {
        writeAll(descriptor, contents, temporary);
        // mkstemp creates 0600; the bundle's files must stay readable by everyone.
        if (fchmod(descriptor, 0644) != 0) fail("Could not set the mode of", temporary, errno);
        if (fsync(descriptor) != 0) fail("Could not flush", temporary, errno);
    } catch (...) {
        close(descriptor);
        throw;
    }
    if (close(descriptor) != 0) fail("Could not write", temporary, errno);
}

// The rename is only durable once the folder's entry is on disk too; a folder
// that cannot be opened or flushed does not undo the write itself.
void flushFolder(const fs::path& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    fsync(descriptor);
    close(descriptor);
}

} // namespace

void writeFileAtomically(const fs::path& path, std::string_view contents) {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int descriptor = mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) fail("Could not create a temporary file for", path, errno);
    const fs::path temporary = pattern;
    try {
        fillTemporary(descriptor, contents, temporary);
        if (rename(temporary.c_str(), path.c_str()) != 0) fail("Could not replace", path, errno);
    } catch (...) {
        unlink(temporary.c_str());
        throw;
    }
    flushFolder(folder);
}

} // namespace bundlekiln
