#include "common/tree_walk.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "common/folder_names.h"
#include "common/nesting_limit.h"
#include "common/tool_failure.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

class Walk {
public:
    Walk(const fs::path& root, const TreeVisitor& visit) : root_(root), visit_(visit), path_(root.native()) {}

    void run() {
        struct stat status {};
        if (::lstat(root_.c_str(), &status) != 0) throwErrno("Could not read", root_);
        visitEntry(AT_FDCWD, root_.c_str(), status, 0);
    }

private:
    void visitEntry(int folder, const char* name, const struct stat& status, std::size_t depth) {
        const bool isFolder = S_ISDIR(status.st_mode);
        if (isFolder && depth > kMaximumNesting) throwTooDeep("folder", root_);
        const fs::path path(path_);
        visit_({path, folder, name, status, depth});
        if (isFolder) walkFolder(folder, name, depth);
    }

    void walkFolder(int parent, const char* name, std::size_t depth) {
        const posix::UniqueFd folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.valid()) throwErrno("Could not list the folder", path_);
        const std::size_t length = path_.size();
        for (const std::string& child : folderNames(folder.get(), path_)) {
            if (!path_.ends_with('/')) path_ += '/';
            path_ += child;
            struct stat status {};
            if (::fstatat(folder.get(), child.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
                throwErrno("Could not read", path_);
            visitEntry(folder.get(), child.c_str(), status, depth + 1);
            path_.resize(length);
        }
    }

    const fs::path& root_;
    const TreeVisitor& visit_;
    std::string path_;
};

} // namespace

void walkTree(const fs::path& root, const TreeVisitor& visit) {
    try {
        Walk(root, visit).run();
    } catch (ToolFailure& failure) {
        failure.shortenPathBelow(root);
        throw;
    }
}

} // namespace hosttools
