#pragma once

#include "folder.h"
#include "locked_folder.h"

#include <filesystem>

namespace bundlekiln {

/// The build's private folder "Kilnsmith-" + UUID under the temporary folder
/// ($TMPDIR, else /tmp, created with its parents when missing), created
/// exclusively, readable by its owner only and locked while the build runs.
/// Creating one first sweeps the unlocked leftovers of killed builds. It is
/// removed with everything in it when the object goes away, on success and on
/// every error; a failure of that removal is ignored.
class StagingFolder {
public:
    /// Throws std::filesystem::filesystem_error when the folder cannot be made.
    StagingFolder();

    const Folder& folder() const { return staging_.folder(); }
    const std::filesystem::path& path() const { return staging_.path(); }

private:
    Folder temporary_;
    LockedFolder staging_;
};

/// The folder that holds staging folders: $TMPDIR when set, else /tmp.
std::filesystem::path temporaryFolder();

} // namespace bundlekiln
