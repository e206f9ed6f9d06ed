#include "signing_list.h"

#include "path_extension.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

bool isCodeBundle(const fs::path& path) {
    const std::string extension = pathExtension(path);
    return extension == "app" || extension == "framework" || extension == "xpc";
}

// Only four bytes are read: a runtime holds thousands of files.
bool startsLikeMachO(const fs::path& path) {
    static constexpr std::array<std::array<unsigned char, 4>, 4> signatures = {{
        {0xCF, 0xFA, 0xED, 0xFE}, {0xCE, 0xFA, 0xED, 0xFE}, {0xCA, 0xFE, 0xBA, 0xBE}, {0xBE, 0xBA, 0xFE, 0xCA},
    }};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    std::array<unsigned char, 4> head{};
    const bool complete = read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    close(fd);
    return complete && std::find(signatures.begin(), signatures.end(), head) != signatures.end();
}

std::size_t depth(const fs::path& path) { return static_cast<std::size_t>(std::distance(path.begin(), path.end())); }

} // namespace

std::vector<fs::path> signingList(const fs::path& app) {
    std::vector<fs::path> items;
    for (auto entry = fs::recursive_directory_iterator(app); entry != fs::recursive_directory_iterator(); ++entry) {
        if (entry->is_symlink()) {
            entry.disable_recursion_pending();
            continue;
        }
        if (isCodeBundle(entry->path()) || (entry->is_regular_file() && startsLikeMachO(entry->path())))
            items.push_back(entry->path());
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const fs::path& a, const fs::path& b) { return depth(a) > depth(b); });
    items.push_back(app);
    return items;
}

} // namespace bundlekiln
