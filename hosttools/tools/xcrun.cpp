// Stand-in for /usr/bin/xcrun with the two developer tools the engine runs:
// a notary service that checks submissions locally, and a stapler. Nothing
// here reaches Apple or makes a real notarization ticket.
//
//   xcrun --find notarytool | xcrun --find stapler
//   xcrun notarytool submit ZIP --keychain-profile PROFILE --wait --output-format json
//   xcrun stapler staple APP | xcrun stapler validate APP
//
// The tool root also holds usr/bin/notarytool and usr/bin/stapler as links to
// this program, which is what --find reports; called by those names it acts
// as that tool.

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string_view>
#include <vector>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "tools/notarytool.h"
#include "tools/stapler.h"

namespace {

namespace fs = std::filesystem;
using hosttools::ToolFailure;

constexpr const char* kUsage =
    "xcrun --find notarytool|stapler | xcrun notarytool submit ZIP --keychain-profile PROFILE --wait "
    "--output-format json | xcrun stapler staple|validate APP";

int find(std::string_view tool) {
    const fs::path location = fs::read_symlink("/proc/self/exe").parent_path() / tool;
    if ((tool != "notarytool" && tool != "stapler") || ::access(location.c_str(), X_OK) != 0)
        throw ToolFailure("error: unable to find utility \"" + std::string(tool) +
                          "\", not a developer tool or in PATH");
    std::cout << location.string() << '\n';
    return 0;
}

int dispatch(std::string_view name, const std::vector<std::string_view>& args) {
    const std::vector<std::string_view> rest(args.empty() ? args.end() : args.begin() + 1, args.end());
    if (name == "notarytool") return hosttools::runNotarytool(args);
    if (name == "stapler") return hosttools::runStapler(args);
    if (args.size() == 2 && args[0] == "--find") return find(args[1]);
    if (!args.empty() && args[0] == "notarytool") return hosttools::runNotarytool(rest);
    if (!args.empty() && args[0] == "stapler") return hosttools::runStapler(rest);
    hosttools::exitWithUsage(kUsage);
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = fs::path(argv[0]).filename().string();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return hosttools::runTool(name, [&] { return dispatch(name, args); });
}
