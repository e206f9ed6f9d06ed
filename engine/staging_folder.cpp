#include "staging_folder.h"

#include <cstdlib>

namespace bundlekiln {
namespace {

constexpr std::string_view prefix = "Kilnsmith-";

bool isStagingFolderName(std::string_view name) {
    return name.starts_with(prefix) && isUUID(name.substr(prefix.size()));
}

Folder openedTemporaryFolder() {
    const std::filesystem::path path = temporaryFolder();
    std::filesystem::create_directories(path);
    Folder folder = Folder::open(path);
    sweepLeftovers(folder, isStagingFolderName);
    return folder;
}

} // namespace

std::filesystem::path temporaryFolder() {
    const char* variable = std::getenv("TMPDIR");
    return variable && *variable ? std::filesystem::absolute(variable) : std::filesystem::path("/tmp");
}

StagingFolder::StagingFolder()
    : temporary_(openedTemporaryFolder()), staging_(temporary_, std::string(prefix)) {}

} // namespace bundlekiln
