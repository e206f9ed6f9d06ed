#pragma once

#include "build_options.h"

#include <filesystem>

namespace bundlekiln {

inline constexpr const char* outputExistsMessage =
    "An output with this name already exists. Choose a new name or output folder; "
    "existing builds are never overwritten.";

/// The project with every symbolic link resolved, so that the build reads the
/// real folder once and can never mistake a link for the project itself: a
/// folder resolved whole, a file by its folder (the file keeps its name).
/// Returned unchanged when it cannot be resolved, for validation to refuse.
std::filesystem::path resolvedProject(const std::filesystem::path& project);

/// The folder whose whole contents become the app: the project itself when it
/// is a folder, otherwise the folder around the chosen HTML file.
std::filesystem::path sourceFolder(const std::filesystem::path& project);

/// Throws BuilderError when the output folder is the source folder or lies
/// inside it, comparing both with symbolic links resolved.
void refuseOutputInsideSource(const std::filesystem::path& source, const std::filesystem::path& output);

/// Throws BuilderError (outputExistsMessage) when the app, or a requested ZIP
/// or disk image, of this name already exists in the output folder.
void refuseExistingOutputs(const BuildOptions& options);

} // namespace bundlekiln
