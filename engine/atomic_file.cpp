#include "atomic_file.h"

#include "posix/write_all.h"
#include "uuid.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

/// Writes and flushes the temporary file, then closes it.
void fillTemporary(posix::UniqueFd descriptor, std::string_view contents, const fs::path& temporary) {
    posix::writeAll(descriptor.get(), contents, temporary);
    // The bundle's files must stay readable by everyone.
    if (fchmod(descriptor.get(), 0644) != 0)
        posix::throwFileError("Could not set the mode of", temporary, errno);
    if (fsync(descriptor.get()) != 0) posix::throwFileError("Could not flush", temporary, errno);
    if (descriptor.close() != 0) posix::throwFileError("Could not write", temporary, errno);
}

} // namespace

void writeFileAtomically(const Folder& folder, const std::string& name, std::string_view contents) {
    // Short and independent of `name`, so that a name near the length limit still fits.
    const std::string temporaryName = ".pending-" + randomUUID();
    const fs::path temporary = folder.path() / temporaryName;
    posix::UniqueFd descriptor =
        openBeneath(folder.fd(), temporaryName, O_WRONLY | O_CREAT | O_EXCL, temporary, 0600);
    try {
        fillTemporary(std::move(descriptor), contents, temporary);
        if (renameat(folder.fd(), temporaryName.c_str(), folder.fd(), name.c_str()) != 0)
            posix::throwFileError("Could not replace", folder.path() / name, errno);
    } catch (...) {
        unlinkat(folder.fd(), temporaryName.c_str(), 0);
        throw;
    }
    // The rename is durable only once the folder's entry is on disk too.
    fsync(folder.fd());
}

void writeFileAtomically(const fs::path& path, std::string_view contents) {
    const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    writeFileAtomically(Folder::open(parent), path.filename().string(), contents);
}

} // namespace bundlekiln
