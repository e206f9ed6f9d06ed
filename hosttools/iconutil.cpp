// Stand-in for /usr/bin/iconutil: only `iconutil -c icns SET.iconset -o OUT`.
// It writes a real .icns whose members are the set's PNG files, unchanged,
// under the type code of each size; the output appears only when complete.

#include <cstring>

#include "icns_file.h"
#include "icon_set.h"
#include "pending_file.h"
#include "tool_failure.h"
#include "usage.h"
#include "write_all.h"

int main(int argc, char** argv) {
    if (argc != 6 || std::strcmp(argv[1], "-c") != 0 || std::strcmp(argv[2], "icns") != 0 ||
        std::strcmp(argv[4], "-o") != 0) {
        hosttools::exitWithUsage("iconutil -c icns SET.iconset -o OUT.icns");
    }
    return hosttools::runTool("iconutil", [&] {
        const std::filesystem::path output = argv[5];
        const auto encoded = hosttools::encodeIcns(hosttools::readIconSet(argv[3]));
        hosttools::PendingFile pending(output, "the icon file");
        hosttools::writeAll(pending.fd(), encoded, output);
        pending.commit();
        return 0;
    });
}
