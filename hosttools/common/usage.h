#pragma once

#include <string_view>

namespace hosttools {

/// Exit status for an argument form the stand-in does not accept (EX_USAGE).
inline constexpr int kUsageStatus = 64;

/// Prints "usage: <forms>" as one line on stderr and exits with kUsageStatus.
/// The stand-ins refuse every form the engine does not send, so drift between
/// the engine and a stand-in shows at once instead of being half-handled.
[[noreturn]] void exitWithUsage(std::string_view forms);

} // namespace hosttools
