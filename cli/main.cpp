#include "desktop_loader.h"
#include "headless_build.h"

int main(int argc, char** argv) {
    const bundlekiln::cli::Arguments arguments(argv, argv + argc);
    if (bundlekiln::cli::hasFlag(arguments, "--build")) return bundlekiln::cli::runHeadlessBuild(arguments);
    return bundlekiln::cli::runDesktopWindow(argc, argv);
}
