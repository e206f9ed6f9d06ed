#include "posix/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>

namespace posix {
namespace {

namespace fs = std::filesystem;

/// Gives the owner every permission on `folder` and on each folder below it,
/// links not followed, so that everything in them can be listed and removed.
void openUp(const fs::path& folder) {
    std::error_code error;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        if (entry->symlink_status(error).type() == fs::file_type::directory) openUp(entry->path());
}

} // namespace

PrivateFolder::PrivateFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) error_ = errno;
    path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty() || error_ != 0) return;
    openUp(path_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

} // namespace posix
