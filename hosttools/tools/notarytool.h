#pragma once

#include <string_view>
#include <vector>

namespace hosttools {

/// notarytool submit ZIP --keychain-profile P --wait --output-format json:
/// prints the local notary service's verdict as JSON.
int runNotarytool(const std::vector<std::string_view>& args);

} // namespace hosttools
