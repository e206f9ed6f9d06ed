#pragma once

#include <string>
#include <string_view>

namespace hosttools {

/// `text` as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

} // namespace hosttools
