#pragma once

#include "folder.h"

#include <string>
#include <string_view>

namespace bundlekiln {

/// A folder that a build creates for itself and holds an exclusive lock on
/// for as long as it exists, so that a later build can tell the leftovers of
/// a killed build (unlocked) from the folders of a running one (locked).
class LockedFolder {
public:
    /// Creates `prefix` + a new UUID (+ `suffix`) in `parent`, private to its
    /// owner, and locks it. Throws std::filesystem::filesystem_error when the
    /// folder cannot be made.
    LockedFolder(const Folder& parent, const std::string& prefix, const std::string& suffix = "");
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    /// Removes the folder with everything in it (errors are ignored), then unlocks.
    ~LockedFolder();

    const Folder& folder() const { return folder_; }
    const std::filesystem::path& path() const { return folder_.path(); }
    const std::string& name() const { return name_; }

private:
    const Folder& parent_;
    std::string name_;
    Folder folder_;
};

/// Removes every folder in `parent` whose name `isLeftover` accepts, that
/// belongs to this user and that nobody holds locked. Errors are ignored.
void sweepLeftovers(const Folder& parent, bool (*isLeftover)(std::string_view name));

/// Whether `text` is a UUID in its 36-character upper-case form.
bool isUUID(std::string_view text);

} // namespace bundlekiln
