// Stand-in for /usr/bin/xattr: only `xattr -cr PATH`.

#include <cstring>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "common/user_attributes.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-cr") != 0) hosttools::exitWithUsage("xattr -cr PATH");
    return hosttools::runTool("xattr", [&] {
        hosttools::removeUserAttributes(argv[2]);
        return 0;
    });
}
