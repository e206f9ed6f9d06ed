#pragma once

#include "build_options.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bundlekiln::cli {

using Arguments = std::vector<std::string>;

/// True when some argument, the program path included, is exactly `flag`.
bool hasFlag(const Arguments& arguments, const std::string& flag);

/// The argument after the first occurrence of `option`, whatever it looks
/// like; none when the option is absent or is the last argument.
std::optional<std::string> optionValue(const Arguments& arguments, const std::string& option);

/// A signed decimal integer: one optional "+" or "-", then digits only, within
/// 64 bits. Anything else reads as 0.
std::int64_t strictInteger(const std::string& text);

/// An absolute path for a path argument, taken relative to the working folder,
/// without trailing separators.
std::filesystem::path absolutePath(const std::string& text);

/// The build record of a headless command line, or none when one of
/// --project, --runtime, --output and --name has no value.
std::optional<BuildOptions> buildOptions(const Arguments& arguments);

} // namespace bundlekiln::cli
