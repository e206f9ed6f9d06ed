// Stand-in for /usr/bin/codesign. It seals bundles with the SHA-256 of every
// file and records how each item was signed; verification re-checks the seals
// and names what changed. It makes no Apple signature.
//
//   codesign --force --deep --sign - PATH
//   codesign --force --sign IDENTITY --timestamp --options runtime --entitlements FILE PATH
//   codesign --verify --deep --strict PATH

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "signing/bundle_signing.h"
#include "signing/codesign_verify.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "codesign --force --deep --sign - PATH | codesign --force --sign IDENTITY --timestamp --options runtime "
    "--entitlements FILE PATH | codesign --verify --deep --strict PATH";

// "Demo.app/" names the bundle Demo.app, as it does for the shell; its name decides whether it is a bundle.
fs::path itemPath(std::string_view argument) {
    fs::path path(argument);
    while (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    return path;
}

int dispatch(const std::vector<std::string_view>& args) {
    if (args.size() == 5 && args[0] == "--force" && args[1] == "--deep" && args[2] == "--sign" &&
        args[3] == "-") {
        hosttools::signAdHocDeep(itemPath(args[4]));
        return 0;
    }
    if (args.size() == 9 && args[0] == "--force" && args[1] == "--sign" && args[3] == "--timestamp" &&
        args[4] == "--options" && args[5] == "runtime" && args[6] == "--entitlements") {
        hosttools::signWithIdentity(std::string(args[2]), fs::path(args[7]), itemPath(args[8]));
        return 0;
    }
    if (args.size() == 4 && args[0] == "--verify" && args[1] == "--deep" && args[2] == "--strict")
        return hosttools::verifyDeepStrict(itemPath(args[3]));
    hosttools::exitWithUsage(kUsage);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return hosttools::runTool("codesign", [&] { return dispatch(args); });
}
