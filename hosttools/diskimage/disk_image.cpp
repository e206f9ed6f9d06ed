#include "diskimage/disk_image.h"

#include "common/path_containment.h"
#include "common/pending_file.h"
#include "common/tool_failure.h"
#include "diskimage/hfs_volume.h"
#include "diskimage/udif_writer.h"

namespace hosttools {

namespace fs = std::filesystem;

void createDiskImage(const std::string& volumeName, const fs::path& source, const fs::path& image) {
    std::error_code error;
    const auto status = fs::symlink_status(source, error);
    if (!fs::exists(status))
        throw ToolFailure("create failed - " + source.string() + ": No such file or directory.");
    if (!fs::is_directory(status))
        throw ToolFailure("create failed - " + source.string() + " is not a folder.");
    if (isSameOrInside(image, source))
        throw ToolFailure("create failed - the image " + image.string() + " would lie inside " +
                          source.string() + ".");
    PendingFile file(image, "the image");
    UdifWriter writer(file.fd(), "the image " + image.string());
    writeHfsVolume(source, volumeName, writer);
    writer.finish();
    file.commit();
}

} // namespace hosttools
