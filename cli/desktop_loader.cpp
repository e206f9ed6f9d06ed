#include "desktop_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <iostream>
#include <system_error>

namespace bundlekiln::cli {
namespace {

using DesktopEntry = int (*)(int*, char**);

// The module keeps the same place relative to the program in the build tree and under an install prefix.
std::filesystem::path modulePath() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "desktop.so";
    return executable.parent_path().parent_path() / "libexec/bundlekiln/desktop.so";
}

} // namespace

int runDesktopWindow(int& argc, char** argv) {
    const auto path = modulePath();
    // Kept loaded until the process ends: the window's objects live until then.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry =
        module ? reinterpret_cast<DesktopEntry>(dlsym(module, "bundlekiln_run_desktop")) : nullptr;
    if (!entry) {
        std::cerr << "The desktop window could not be loaded: " << dlerror() << "\n";
        return 1;
    }
    return entry(&argc, argv);
}

} // namespace bundlekiln::cli
