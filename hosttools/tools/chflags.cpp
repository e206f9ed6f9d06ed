// Stand-in for /usr/bin/chflags: only `chflags -R nouchg PATH`.

#include <cstring>

#include "common/immutable_flags.h"
#include "common/tool_failure.h"
#include "common/usage.h"

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "-R") != 0 || std::strcmp(argv[2], "nouchg") != 0) {
        hosttools::exitWithUsage("chflags -R nouchg PATH");
    }
    return hosttools::runTool("chflags", [&] {
        hosttools::clearImmutableFlags(argv[3]);
        return 0;
    });
}
