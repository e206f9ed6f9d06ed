#include "common/usage.h"

#include <cstdlib>
#include <iostream>

namespace hosttools {

void exitWithUsage(std::string_view forms) {
    std::cerr << "usage: " << forms << '\n';
    std::exit(kUsageStatus);
}

} // namespace hosttools
