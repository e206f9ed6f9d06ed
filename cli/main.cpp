#include "headless_build.h"

#include <iostream>

int main(int argc, char** argv) {
    const bundlekiln::cli::Arguments arguments(argv, argv + argc);
    if (bundlekiln::cli::hasFlag(arguments, "--build")) return bundlekiln::cli::runHeadlessBuild(arguments);
    std::cerr << "The desktop window is not part of this build yet; run with --build for a headless build.\n";
    return 1;
}
