#include "staging_folder.h"

#include "uuid.h"

#include <cerrno>
#include <sys/stat.h>

namespace bundlekiln {

StagingFolder::StagingFolder() {
    const auto temporary = std::filesystem::temp_directory_path();
    std::filesystem::create_directories(temporary);
    path_ = temporary / ("Kilnsmith-" + randomUUID());
    // mkdir refuses an existing folder, so nobody else's folder is ever taken over.
    if (mkdir(path_.c_str(), 0700) != 0)
        throw std::filesystem::filesystem_error("Could not create the staging folder", path_,
                                                std::error_code(errno, std::generic_category()));
}

namespace {

// A copied bundle may hold read-only folders, whose entries cannot be removed
// until the folder is writable again.
void makeFoldersWritable(const std::filesystem::path& root) {
    std::error_code ignored;
    chmod(root.c_str(), 0700);
    for (auto it = std::filesystem::recursive_directory_iterator(
             root, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0700);
    }
}

} // namespace

StagingFolder::~StagingFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    if (!error) return;
    makeFoldersWritable(path_);
    std::filesystem::remove_all(path_, error);
}

} // namespace bundlekiln
