// Stand-in for /usr/bin/lipo: only `lipo -archs FILE`.

#include <cstring>
#include <iostream>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "macho/architecture_name.h"
#include "macho/mach_header.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-archs") != 0) hosttools::exitWithUsage("lipo -archs FILE");
    return hosttools::runTool("lipo", [&] {
        std::cout << hosttools::architectureList(hosttools::readArchitectures(argv[2])) << '\n';
        return 0;
    });
}
