#include "archive/zip_creation.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "archive/zip_writer.h"
#include "common/path_containment.h"
#include "common/pending_file.h"
#include "common/symlink_target.h"
#include "common/tool_failure.h"
#include "common/top_level_name.h"
#include "common/tree_walk.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

void addEntry(ZipWriter& writer, const std::string& name, const TreeEntry& entry) {
    const mode_t mode = entry.status.st_mode;
    if (S_ISDIR(mode)) return writer.addFolder(name, entry.status);
    if (S_ISLNK(mode))
        return writer.addSymlink(name, symlinkTarget(entry.folder, entry.name, entry.path), entry.status);
    if (!S_ISREG(mode))
        throw ToolFailure("Could not add ", entry.path, " to the archive: it is a device, socket or FIFO.");
    const posix::UniqueFd file(::openat(entry.folder, entry.name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid()) throwErrno("Could not open", entry.path);
    writer.addFile(name, file.get(), entry.path, entry.status);
}

} // namespace

void createZip(const fs::path& source, const fs::path& archivePath) {
    struct stat status {};
    if (::lstat(source.c_str(), &status) != 0) throwErrno("Could not read", source);
    if (S_ISDIR(status.st_mode) && isSameOrInside(archivePath, source)) {
        throw ToolFailure("Could not create the archive " + archivePath.string() +
                          " inside the folder it archives, " + source.string() + ".");
    }
    const auto top = topLevelName(source, "archive");
    PendingFile pending(archivePath, "the archive");
    ZipWriter writer(pending.fd(), "the archive " + archivePath.string());
    walkTree(source, [&](const TreeEntry& entry) {
        const auto relative = entry.path.lexically_relative(source);
        addEntry(writer, (relative == "." ? top : top / relative).string(), entry);
    });
    writer.finish();
    pending.commit();
}

} // namespace hosttools
