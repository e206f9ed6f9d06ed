#include "signing_list.h"

#include "path_extension.h"
#include "posix/file_error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

bool isCodeBundle(const char* name) {
    const std::string extension = pathExtension(name);
    return extension == "app" || extension == "framework" || extension == "xpc";
}

// Only four bytes are read: a runtime holds thousands of files. Opened
// relative to its folder, so the kernel does not walk the whole path again.
bool startsLikeMachO(int folder, const char* name) {
    static constexpr std::array<std::array<unsigned char, 4>, 4> signatures = {{
        {0xCF, 0xFA, 0xED, 0xFE},
        {0xCE, 0xFA, 0xED, 0xFE},
        {0xCA, 0xFE, 0xBA, 0xBE},
        {0xBE, 0xBA, 0xFE, 0xCA},
    }};
    const int fd = openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    std::array<unsigned char, 4> head{};
    const bool complete = read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    close(fd);
    return complete && std::find(signatures.begin(), signatures.end(), head) != signatures.end();
}

struct Item {
    fs::path path;
    std::size_t depth;
};

struct FolderClose {
    void operator()(DIR* folder) const { closedir(folder); }
};

unsigned char entryType(int folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN) return entry.d_type;
    struct stat status {};
    if (fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
    if (S_ISLNK(status.st_mode)) return DT_LNK;
    if (S_ISDIR(status.st_mode)) return DT_DIR;
    return S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
}

// Depth first, each folder's entries in the order the file system lists
// them, a folder's contents right after the folder; links are not followed.
void collect(int folderFd, const fs::path& folder, std::size_t depth, std::vector<Item>& items) {
    const std::unique_ptr<DIR, FolderClose> listing(fdopendir(folderFd));
    if (!listing) {
        close(folderFd);
        posix::throwFileError("cannot open directory", folder, errno);
    }
    const int fd = dirfd(listing.get());
    while (const dirent* entry = readdir(listing.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        const unsigned char type = entryType(fd, *entry);
        if (type == DT_LNK) continue;
        if (isCodeBundle(name) || (type == DT_REG && startsLikeMachO(fd, name)))
            items.push_back({folder / name, depth});
        if (type != DT_DIR) continue;
        const int child = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) posix::throwFileError("cannot open directory", folder / name, errno);
        collect(child, folder / name, depth + 1, items);
    }
}

std::size_t componentCount(const fs::path& path) {
    return static_cast<std::size_t>(std::distance(path.begin(), path.end()));
}

} // namespace

std::vector<fs::path> signingList(const fs::path& app) {
    const int top = open(app.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0) posix::throwFileError("cannot open directory", app, errno);
    std::vector<Item> found;
    collect(top, app, componentCount(app) + 1, found);
    std::stable_sort(found.begin(), found.end(),
                     [](const Item& a, const Item& b) { return a.depth > b.depth; });
    std::vector<fs::path> items;
    items.reserve(found.size() + 1);
    for (auto& item : found) items.push_back(std::move(item.path));
    items.push_back(app);
    return items;
}

} // namespace bundlekiln
