#pragma once

#include <string_view>

namespace bundlekiln {

/// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates,
/// nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);

} // namespace bundlekiln
