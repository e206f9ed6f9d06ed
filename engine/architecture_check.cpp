// Refuses a runtime that cannot run on the chosen processor.
#include "builder_error.h"
#include "kilnsmith.h"
#include "tool_runner.h"

#include <sstream>

namespace bundlekiln {

void Kilnsmith::checkArchitecture(const std::filesystem::path& runtimeApp,
                                  const std::string& architecture) const {
    const std::string expected = architecture == "x64" ? "x86_64" : "arm64";
    std::istringstream listed(
        run("/usr/bin/lipo", {"-archs", (runtimeApp / "Contents/MacOS/nwjs").string()}));
    for (std::string name; listed >> name;) {
        if (name == expected) return;
    }
    throw BuilderError("The selected runtime does not match the chosen architecture (" + expected +
                       "). Choose or download the matching runtime.");
}

} // namespace bundlekiln
