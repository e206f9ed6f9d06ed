// The optional ZIP archive and disk image, made from the finished app while it
// is still staged, so that a failure never leaves a partial package behind.
#include "kilnsmith.h"
#include "tool_runner.h"

namespace bundlekiln {

namespace fs = std::filesystem;

void Kilnsmith::buildZIP(const fs::path& app, const fs::path& folder) const {
    report("Creating ZIP\u2026");
    const fs::path archive = folder / (app.stem().string() + ".zip");
    run("/usr/bin/ditto", {"-c", "-k", "--sequesterRsrc", "--keepParent", app.string(), archive.string()});
}

void Kilnsmith::buildDMG(const fs::path& app, const Folder& staging) const {
    report("Creating DMG\u2026");
    const std::string volumeName = app.stem().string();
    const fs::path image = staging.path() / (volumeName + ".dmg");
    staging.removeTree(image.filename().string());
    run("/usr/bin/hdiutil", {"create", "-volname", volumeName, "-srcfolder", app.string(), "-ov", "-format",
                             "UDZO", image.string()});
}

} // namespace bundlekiln
