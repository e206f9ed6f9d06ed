#pragma once

#include <string_view>
#include <vector>

namespace hosttools {

/// stapler staple APP | stapler validate APP: stapling writes a ticket for
/// the app's current seal, only once the notary service accepted that seal.
int runStapler(const std::vector<std::string_view>& args);

} // namespace hosttools
