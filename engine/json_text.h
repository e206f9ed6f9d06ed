#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace bundlekiln {

/// Parses `text` as JSON; `noun` names the text in the user's terms
/// ("package.json"). Arrays and objects nested more than `maximumDepth`
/// levels deep are refused while parsing, with BuilderError "<noun> nests
/// arrays and objects more than <maximumDepth> levels deep.". Text that is not
/// JSON is refused with BuilderError "<noun> is not valid JSON: <reason> at
/// line L, column C.", L and C counted in bytes from 1.
nlohmann::json parseJSON(const std::string& text, const std::string& noun, int maximumDepth);

} // namespace bundlekiln
