#pragma once

#include <filesystem>

namespace hosttools {

/// Staples a ticket for the app's current seal to it (outside the seal), only
/// once the notary service accepted that seal. Throws ToolFailure when `app`
/// is not an app bundle or no accepted submission matches its seal.
void stapleTicket(const std::filesystem::path& app);

/// Checks that the ticket stapled to `app` matches its current seal and that
/// the app still verifies. Throws ToolFailure saying which does not hold.
void validateTicket(const std::filesystem::path& app);

} // namespace hosttools
