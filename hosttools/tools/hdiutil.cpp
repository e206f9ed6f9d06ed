// Stand-in for /usr/bin/hdiutil: only the form the engine sends.
//
//   hdiutil create -volname NAME -srcfolder FOLDER -ov -format UDZO IMAGE.dmg

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "diskimage/disk_image.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kForm =
    "hdiutil create -volname NAME -srcfolder FOLDER -ov -format UDZO IMAGE.dmg";

bool isEngineForm(const std::vector<std::string_view>& args) {
    return args.size() == 9 && args[0] == "create" && args[1] == "-volname" && args[3] == "-srcfolder" &&
           args[5] == "-ov" && args[6] == "-format" && args[7] == "UDZO" && args[8].ends_with(".dmg") &&
           !args[2].empty() && !args[4].empty();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return hosttools::runTool("hdiutil", [&] {
        if (!isEngineForm(args)) hosttools::exitWithUsage(kForm);
        const fs::path image(args[8]);
        hosttools::createDiskImage(std::string(args[2]), fs::path(args[4]), image);
        std::cout << "created: " << fs::absolute(image).string() << '\n';
        return 0;
    });
}
