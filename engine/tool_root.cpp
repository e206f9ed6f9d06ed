#include "tool_root.h"

#include <cstdlib>
#include <system_error>

namespace bundlekiln {
namespace {

// The stand-ins are installed at the same place relative to the program in the
// build tree and under an install prefix: <prefix>/bin/bundlekiln and
// <prefix>/libexec/bundlekiln/toolroot.
std::filesystem::path installedStandInRoot() {
#ifdef __APPLE__
    return {};
#else
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return executable.parent_path().parent_path() / "libexec/bundlekiln/toolroot";
#endif
}

} // namespace

std::filesystem::path toolRoot() {
    if (const char* root = std::getenv("BUNDLEKILN_TOOL_ROOT")) return root;
    return installedStandInRoot();
}

std::string resolveTool(const std::string& tool) {
    const auto root = toolRoot();
    if (root.empty()) return tool;
    return root.string() + tool;
}

} // namespace bundlekiln
