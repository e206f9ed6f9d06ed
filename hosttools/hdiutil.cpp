// Stand-in for /usr/bin/hdiutil: only the form the engine sends.
//
//   hdiutil create -volname NAME -srcfolder FOLDER -ov -format UDZO IMAGE.dmg
//
// Writes a real compressed disk image of an HFS Plus volume named NAME whose
// root holds FOLDER. The image appears only when complete and replaces an
// existing one (-ov).

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "hfs_volume.h"
#include "path_containment.h"
#include "pending_file.h"
#include "tool_failure.h"
#include "udif_writer.h"
#include "usage.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kForm =
    "hdiutil create -volname NAME -srcfolder FOLDER -ov -format UDZO IMAGE.dmg";

bool isEngineForm(const std::vector<std::string_view>& args) {
    return args.size() == 9 && args[0] == "create" && args[1] == "-volname" && args[3] == "-srcfolder" &&
           args[5] == "-ov" && args[6] == "-format" && args[7] == "UDZO" && args[8].ends_with(".dmg") &&
           !args[2].empty() && !args[4].empty();
}

void createImage(const std::string& volumeName, const fs::path& source, const fs::path& image) {
    std::error_code error;
    const auto status = fs::symlink_status(source, error);
    if (!fs::exists(status))
        throw hosttools::ToolFailure("create failed - " + source.string() + ": No such file or directory.");
    if (!fs::is_directory(status))
        throw hosttools::ToolFailure("create failed - " + source.string() + " is not a folder.");
    if (hosttools::isSameOrInside(image, source))
        throw hosttools::ToolFailure("create failed - the image " + image.string() + " would lie inside " +
                                     source.string() + ".");
    const std::string what = "the image " + image.string();
    hosttools::PendingFile file(image, "the image");
    hosttools::UdifWriter writer(file.fd(), what);
    hosttools::writeHfsVolume(source, volumeName, writer);
    writer.finish();
    file.commit();
    std::cout << "created: " << fs::absolute(image).string() << '\n';
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return hosttools::runTool("hdiutil", [&] {
        if (!isEngineForm(args)) hosttools::exitWithUsage(kForm);
        createImage(std::string(args[2]), fs::path(args[4]), fs::path(args[8]));
        return 0;
    });
}
