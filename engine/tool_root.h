#pragma once

#include <filesystem>
#include <string>

namespace bundlekiln {

/// The folder that stands in for "/" when the engine runs a macOS tool by its
/// absolute path. Taken from BUNDLEKILN_TOOL_ROOT when that is set (an empty
/// value means the real tools); otherwise empty on macOS and, elsewhere, the
/// stand-in root installed beside the program.
std::filesystem::path toolRoot();

/// The path that is really run for `tool`: the tool root followed by `tool`,
/// or `tool` itself when the root is empty.
std::string resolveTool(const std::string& tool);

} // namespace bundlekiln
