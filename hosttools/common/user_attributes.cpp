#include "common/user_attributes.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "common/tool_failure.h"
#include "common/tree_walk.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

/// Errors meaning "this file system keeps no extended attributes".
bool attributesUnsupported(int error) {
    return error == ENOTSUP || error == ENOSYS;
}

/// The NUL-separated attribute names of the item at `handle`; empty where unsupported.
std::string listAttributes(const std::string& handle, const std::filesystem::path& path) {
    while (true) {
        const auto size = ::listxattr(handle.c_str(), nullptr, 0);
        if (size < 0 && attributesUnsupported(errno)) return {};
        if (size < 0) throwErrno("Could not list the extended attributes of", path);
        std::string names(static_cast<std::size_t>(size), '\0');
        const auto got = ::listxattr(handle.c_str(), names.data(), names.size());
        if (got >= 0) return names.substr(0, static_cast<std::size_t>(got));
        // ERANGE: an attribute was added between the two calls; ask again.
        if (errno != ERANGE) throwErrno("Could not list the extended attributes of", path);
    }
}

void removeUserAttributesOf(const TreeEntry& entry) {
    // Only files and folders can carry attributes of the user namespace.
    if (!S_ISREG(entry.status.st_mode) && !S_ISDIR(entry.status.st_mode)) return;
    // An O_PATH descriptor pins the item without following a link or needing
    // any permission on it; the attribute calls reach it through /proc.
    const posix::UniqueFd item(::openat(entry.folder, entry.name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!item.valid()) throwErrno("Could not open", entry.path);
    const std::string handle = "/proc/self/fd/" + std::to_string(item.get());
    const auto names = listAttributes(handle, entry.path);
    for (std::size_t start = 0; start < names.size(); start += std::strlen(names.c_str() + start) + 1) {
        const std::string_view name(names.c_str() + start);
        if (!name.starts_with("user.")) continue;
        if (::removexattr(handle.c_str(), name.data()) != 0 && errno != ENODATA)
            throwErrno("Could not remove the extended attribute " + std::string(name) + " of", entry.path);
    }
}

} // namespace

void removeUserAttributes(const std::filesystem::path& top) {
    walkTree(top, removeUserAttributesOf);
}

} // namespace hosttools
