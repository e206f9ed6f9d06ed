#pragma once

#include <nlohmann/json.hpp>

namespace bundlekiln {

/// An NW.js project description: a JSON object from text keys to JSON values.
/// Its keys are kept sorted, as the manifests we write must be.
using Manifest = nlohmann::json;

} // namespace bundlekiln
