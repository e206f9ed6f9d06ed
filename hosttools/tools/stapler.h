#pragma once

#include <string_view>
#include <vector>

namespace hosttools {

/// stapler staple APP | stapler validate APP.
int runStapler(const std::vector<std::string_view>& args);

} // namespace hosttools
