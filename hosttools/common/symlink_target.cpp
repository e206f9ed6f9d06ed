#include "common/symlink_target.h"

#include <unistd.h>

#include "common/tool_failure.h"

namespace hosttools {

std::string symlinkTarget(int folder, const char* name, const std::filesystem::path& path) {
    // Grown until the text fits, as the size lstat reports can be stale.
    for (std::size_t size = 256;; size *= 2) {
        std::string target(size, '\0');
        const auto length = ::readlinkat(folder, name, target.data(), size);
        if (length < 0) throwErrno("Could not read the symbolic link", path);
        if (static_cast<std::size_t>(length) < size)
            return target.substr(0, static_cast<std::size_t>(length));
    }
}

} // namespace hosttools
