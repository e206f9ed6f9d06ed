// Stand-in for /usr/bin/iconutil: only `iconutil -c icns SET.iconset -o OUT`.
// It writes a real .icns whose members are the set's PNG files, unchanged,
// under the type code of each size; the output appears only when complete.

#include <cstring>

#include "common/pending_file.h"
#include "common/tool_failure.h"
#include "common/usage.h"
#include "image/icns_file.h"
#include "image/icon_set.h"

int main(int argc, char** argv) {
    if (argc != 6 || std::strcmp(argv[1], "-c") != 0 || std::strcmp(argv[2], "icns") != 0 ||
        std::strcmp(argv[4], "-o") != 0) {
        hosttools::exitWithUsage("iconutil -c icns SET.iconset -o OUT.icns");
    }
    return hosttools::runTool("iconutil", [&] {
        hosttools::writeWholeFile(argv[5], hosttools::encodeIcns(hosttools::readIconSet(argv[3])),
                                  "the icon file");
        return 0;
    });
}
