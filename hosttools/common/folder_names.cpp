#include "common/folder_names.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

#include "common/tool_failure.h"

namespace hosttools {

std::vector<std::string> folderNames(int folder, const std::filesystem::path& path) {
    // A descriptor of its own, as closedir closes it; the listing is closed before the caller goes deeper.
    DIR* listing = ::fdopendir(::dup(folder));
    if (listing == nullptr) throwErrno("Could not list the folder", path);
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, ::closedir);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    if (errno != 0) throwErrno("Could not list the folder", path);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace hosttools
