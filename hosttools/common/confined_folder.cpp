#include "common/confined_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

/// A folder's path cut after its outermost bundle: the part opened as named
/// and the part below it. All of it is `named` when no bundle is on it.
struct SplitFolder {
    fs::path named;
    fs::path below;
};

SplitFolder splitAtOutermostBundle(const fs::path& folder) {
    SplitFolder split;
    bool belowBundle = false;
    for (const auto& component : folder) {
        (belowBundle ? split.below : split.named) /= component;
        belowBundle = belowBundle || hasBundleExtension(component);
    }
    return split;
}

[[noreturn]] void throwCannotEnter(int folder, const std::string& name, const fs::path& path,
                                   const fs::path& target) {
    const int error = errno;
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
        throw ToolFailure("", path, " is a symbolic link; nothing is written through one.");
    errno = error;
    throwErrno("Could not open the folder of", target);
}

posix::UniqueFd openFolderBelow(posix::UniqueFd folder, fs::path reached, const fs::path& below,
                                const fs::path& target, bool createMissing) {
    for (const auto& component : below) {
        const std::string name = component.string();
        reached /= component;
        if (name == "..")
            throw ToolFailure("Refused to write ", target, ": '..' would climb out of the bundle.");
        if (name.empty() || name == ".") continue;
        if (createMissing && ::mkdirat(folder.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
            throwErrno("Could not create the folder", reached);
        posix::UniqueFd next(::openat(folder.get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
        if (!next.valid()) throwCannotEnter(folder.get(), name, reached, target);
        folder = std::move(next);
    }
    return folder;
}

} // namespace

bool hasBundleExtension(const fs::path& name) {
    const fs::path extension = name.extension();
    return extension == ".app" || extension == ".framework" || extension == ".xpc";
}

posix::UniqueFd openTargetFolder(const fs::path& target, bool createMissing) {
    const SplitFolder split = splitAtOutermostBundle(target.parent_path());
    const fs::path named = split.named.empty() ? fs::path(".") : split.named;
    posix::UniqueFd folder(::open(named.c_str(), kFolderFlags));
    if (!folder.valid()) throwErrno("Could not open the folder of", target);
    return openFolderBelow(std::move(folder), named, split.below, target, createMissing);
}

} // namespace hosttools
