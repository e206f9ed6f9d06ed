// Signs the staged app: ad-hoc in one deep pass, or with a Developer ID item
// by item from the innermost code outwards, with the hardened runtime.
#include "atomic_file.h"
#include "kilnsmith.h"
#include "signing_list.h"
#include "tool_runner.h"

namespace bundlekiln {

namespace fs = std::filesystem;

namespace {

// NW.js compiles JavaScript at run time and loads its own unsigned helpers, so
// the hardened runtime must allow both.
constexpr const char* entitlements = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>com.apple.security.cs.allow-jit</key>
	<true/>
	<key>com.apple.security.cs.allow-unsigned-executable-memory</key>
	<true/>
	<key>com.apple.security.cs.disable-library-validation</key>
	<true/>
</dict>
</plist>
)";

fs::path writeEntitlements(const Folder& staging) {
    writeFileAtomically(staging, "entitlements.plist", entitlements);
    return staging.path() / "entitlements.plist";
}

} // namespace

void Kilnsmith::sign(const fs::path& app, const BuildOptions& options, const Folder& staging) const {
    if (options.signingIdentity.empty()) {
        run("/usr/bin/codesign", {"--force", "--deep", "--sign", "-", app.string()});
        return;
    }
    const fs::path entitlementsFile = writeEntitlements(staging);
    for (const fs::path& item : signingList(app)) {
        run("/usr/bin/codesign", {"--force", "--sign", options.signingIdentity, "--timestamp", "--options",
                                  "runtime", "--entitlements", entitlementsFile.string(), item.string()});
    }
}

void Kilnsmith::signAndVerify(const fs::path& app, const BuildOptions& options, const Folder& staging) const {
    report(options.signingIdentity.empty() ? "Applying local ad-hoc signature\u2026"
                                           : "Signing with Developer ID\u2026");
    runIgnoringFailure("/usr/bin/xattr", {"-cr", app.string()});
    sign(app, options, staging);
    run("/usr/bin/codesign", {"--verify", "--deep", "--strict", app.string()});
    if (!options.notaryProfile.empty()) notarize(app, options.notaryProfile, staging.path());
}

} // namespace bundlekiln
