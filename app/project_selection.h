#pragma once

#include "manifest.h"

#include <filesystem>
#include <string>

namespace bundlekiln::app {

/// What an accepted project puts into the form.
struct ProjectFields {
    std::string project;
    std::string name;
    std::string version;
};

/// `path` without trailing separators, as a dropped or chosen folder may carry them.
std::filesystem::path withoutTrailingSeparators(const std::filesystem::path& path);

/// The form's project, name and version for a validated project: the
/// manifest's "name" and "version" when they are strings, otherwise the
/// project's file or folder name without its extension and "1.0.0".
ProjectFields projectFields(const std::filesystem::path& project, const Manifest& manifest);

/// "com.local." + the name trimmed, lower-cased and stripped of everything
/// but a-z and 0-9; "com.local.nwapp" when nothing is left.
std::string bundleIdentifier(const std::string& name);

/// The status line after a project was accepted.
inline constexpr const char* projectReadyMessage =
    "\u2713 Project ready. HTML files include sibling assets from their folder.";

} // namespace bundlekiln::app
