#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bundlekiln {

/// A signed decimal integer written strictly: one optional "+" or "-", then
/// digits only, within 64 bits. None for anything else, the empty text included.
/// Both front ends read window sizes this way.
std::optional<std::int64_t> wholeNumber(std::string_view text);

} // namespace bundlekiln
