#pragma once

#include <string_view>
#include <vector>

namespace hosttools {

/// notarytool submit ZIP --keychain-profile P --wait --output-format json:
/// checks the archive as the notary service would and prints its verdict as
/// JSON. An accepted app's seal is remembered so that stapler can staple it.
int runNotarytool(const std::vector<std::string_view>& args);

} // namespace hosttools
