#include "tools/notarytool.h"

#include <filesystem>
#include <iostream>
#include <string>

#include "common/usage.h"
#include "signing/notary_service.h"

namespace hosttools {

int runNotarytool(const std::vector<std::string_view>& args) {
    if (args.size() == 7 && args[0] == "submit" && args[2] == "--keychain-profile" && args[4] == "--wait" &&
        args[5] == "--output-format" && args[6] == "json") {
        std::cout << submitForNotarization(std::filesystem::path(args[1]), std::string(args[3])) << '\n';
        return 0;
    }
    exitWithUsage("xcrun notarytool submit ZIP --keychain-profile PROFILE --wait --output-format json");
}

} // namespace hosttools
