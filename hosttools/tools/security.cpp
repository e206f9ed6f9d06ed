// Stand-in for /usr/bin/security: only `security find-identity -v -p
// codesigning`. It lists the identities of the stand-in keychain file in the
// layout of the real listing; every identity there counts as valid.

#include <cstring>
#include <iostream>

#include "common/tool_failure.h"
#include "common/usage.h"
#include "signing/keychain_file.h"

int main(int argc, char** argv) {
    const char* const expected[] = {"find-identity", "-v", "-p", "codesigning"};
    bool matches = argc == 5;
    for (int i = 1; matches && i < argc; ++i) matches = std::strcmp(argv[i], expected[i - 1]) == 0;
    if (!matches) hosttools::exitWithUsage("security find-identity -v -p codesigning");
    return hosttools::runTool("security", [] {
        std::cout << hosttools::identityListing(hosttools::readKeychain(hosttools::keychainPath()));
        return 0;
    });
}
