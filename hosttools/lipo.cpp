// Stand-in for /usr/bin/lipo: only `lipo -archs FILE`.

#include <cstring>
#include <iostream>

#include "architecture_name.h"
#include "mach_header.h"
#include "tool_failure.h"
#include "usage.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-archs") != 0) hosttools::exitWithUsage("lipo -archs FILE");
    return hosttools::runTool("lipo", [&] {
        const auto architectures = hosttools::readArchitectures(argv[2]);
        std::string line;
        for (const auto& architecture : architectures) {
            if (!line.empty()) line += ' ';
            line += hosttools::architectureName(architecture);
        }
        std::cout << line << '\n';
        return 0;
    });
}
