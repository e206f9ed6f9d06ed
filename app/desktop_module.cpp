// The entry point of the desktop window's module. The program loads the
// module only when it opens its window, so that a headless build never pays
// for loading the window toolkit.
#include "desktop_start.h"

extern "C" __attribute__((visibility("default"))) int bundlekiln_run_desktop(int* argc, char** argv) {
    return bundlekiln::app::runDesktop(*argc, argv);
}
