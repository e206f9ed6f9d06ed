#include "tools/stapler.h"

#include <filesystem>
#include <iostream>

#include "common/usage.h"
#include "signing/stapling.h"

namespace hosttools {

int runStapler(const std::vector<std::string_view>& args) {
    if (args.size() == 2 && args[0] == "staple") {
        stapleTicket(std::filesystem::path(args[1]));
        std::cout << "The staple and validate action worked!\n";
        return 0;
    }
    if (args.size() == 2 && args[0] == "validate") {
        validateTicket(std::filesystem::path(args[1]));
        std::cout << "The validate action worked!\n";
        return 0;
    }
    exitWithUsage("xcrun stapler staple APP | xcrun stapler validate APP");
}

} // namespace hosttools
