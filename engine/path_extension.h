#pragma once

#include <filesystem>
#include <string>

namespace bundlekiln {

/// The text after the last "." of the last path component, without the dot;
/// empty when there is none or the name only starts with a dot ("app" for
/// "nwjs.app", "" for ".zip").
std::string pathExtension(const std::filesystem::path& path);

/// pathExtension, lower-cased (ASCII only, as the extension tests need).
std::string lowercasePathExtension(const std::filesystem::path& path);

std::string lowercased(std::string text);

} // namespace bundlekiln
