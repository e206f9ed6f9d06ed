// Sends the signed app to the notarization service and staples the ticket.
#include "builder_error.h"
#include "json_text.h"
#include "kilnsmith.h"
#include "tool_runner.h"

namespace bundlekiln {

namespace fs = std::filesystem;

namespace {

bool isAccepted(const nlohmann::json& answer) {
    const auto status = answer.is_object() ? answer.find("status") : answer.end();
    return answer.is_object() && status != answer.end() && status->is_string() && *status == "Accepted";
}

} // namespace

void Kilnsmith::notarize(const fs::path& app, const std::string& profile, const fs::path& staging) const {
    report("Submitting to Apple for notarization. This can take several minutes\u2026");
    const fs::path archive = staging / "notarization.zip";
    run("/usr/bin/ditto", {"-c", "-k", "--sequesterRsrc", "--keepParent", app.string(), archive.string()});
    const std::string output =
        run("/usr/bin/xcrun", {"notarytool", "submit", archive.string(), "--keychain-profile", profile,
                               "--wait", "--output-format", "json"});
    // An answer that is not JSON fails with a sentence of ours, not the parser's internals.
    if (!isAccepted(parseJSON(output, "The notarization tool's answer", maximumManifestDepth)))
        throw BuilderError("Apple did not accept the submission: " + output);
    run("/usr/bin/xcrun", {"stapler", "staple", app.string()});
    run("/usr/bin/xcrun", {"stapler", "validate", app.string()});
}

} // namespace bundlekiln
