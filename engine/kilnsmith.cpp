// The pipeline: the one place that lists every step of a build, in order.
#include "kilnsmith.h"

#include "builder_error.h"
#include "no_clobber_move.h"
#include "output_guard.h"
#include "staging_folder.h"
#include "tool_runner.h"
#include "tree_copy.h"

namespace bundlekiln {

namespace fs = std::filesystem;

fs::path Kilnsmith::build(const BuildOptions& options) {
    Manifest manifest = validateProject(options.project());
    validateMetadata(options);
    const fs::path source = sourceFolder(options.project());
    refuseOutputInsideSource(source, options.outputDirectory());
    fs::create_directories(options.outputDirectory());
    refuseExistingOutputs(options);

    const StagingFolder staging;
    report("Preparing NW.js runtime\u2026");
    const fs::path runtimeApp = resolveRuntime(options.runtime(), staging.path());
    checkArchitecture(runtimeApp, options.architecture);
    const fs::path stagedApp = staging.path() / (options.name() + ".app");
    run("/usr/bin/ditto", {runtimeApp.string(), stagedApp.string()});

    report("Adding project files\u2026");
    const fs::path bundledProject = stagedApp / "Contents/Resources/app.nw";
    addProjectFiles(source, bundledProject, staging.path());
    configureProject(manifest, bundledProject, options);
    updatePlist(stagedApp, options);
    if (options.icon()) installIcon(*options.icon(), stagedApp / "Contents/Resources", staging.path(), stagedApp);
    repairPermissions(stagedApp);
    signAndVerify(stagedApp, options, staging.path());
    if (options.zip) buildZIP(stagedApp, staging.path());
    if (options.dmg()) buildDMG(stagedApp, staging.path());

    moveOutputs(options, stagedApp, staging.path());
    const fs::path finalApp = options.outputDirectory() / (options.name() + ".app");
    report("Finished: " + finalApp.string());
    return finalApp;
}

void Kilnsmith::addProjectFiles(const fs::path& source, const fs::path& bundledProject,
                                const fs::path& staging) const {
    std::error_code ignored;
    fs::remove_all(bundledProject, ignored);
    // The source may hold the temporary folder itself (a page chosen in /tmp);
    // the copy must not descend into its own staging folder.
    copyTree(source, bundledProject, staging);
    const std::string path = bundledProject.string();
    runIgnoringFailure("/usr/bin/chflags", {"-R", "nouchg", path});
    runIgnoringFailure("/bin/chmod", {"-RN", path});
    run("/bin/chmod", {"-R", "u+rwX", path});
}

void Kilnsmith::moveOutputs(const BuildOptions& options, const fs::path& stagedApp, const fs::path& staging) const {
    const fs::path& output = options.outputDirectory();
    if (!moveWithoutReplacing(stagedApp, output / stagedApp.filename())) throw BuilderError(outputExistsMessage);
    for (const char* extension : {".zip", ".dmg"}) {
        const fs::path package = staging / (options.name() + extension);
        std::error_code error;
        if (!fs::exists(package, error)) continue;
        if (!moveWithoutReplacing(package, output / package.filename())) throw BuilderError(outputExistsMessage);
    }
}

} // namespace bundlekiln
