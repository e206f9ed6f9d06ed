#pragma once

#include <nlohmann/json.hpp>

namespace bundlekiln {

/// An NW.js project description: a JSON object from text keys to JSON values.
/// Its keys are kept sorted, as the manifests we write must be.
using Manifest = nlohmann::json;

/// Arrays and objects nested deeper than this are refused while a manifest is
/// parsed: copying and writing a manifest recurse once per level, and its
/// pretty-printed text grows with the square of the depth.
inline constexpr int maximumManifestDepth = 512;

} // namespace bundlekiln
