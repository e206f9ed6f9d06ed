// The pipeline: the one place that lists every step of a build, in order.
#include "kilnsmith.h"

#include "builder_error.h"
#include "bundle_structure.h"
#include "locked_folder.h"
#include "no_clobber_move.h"
#include "output_guard.h"
#include "staging_folder.h"
#include "tool_runner.h"
#include "tree_copy.h"

namespace bundlekiln {

namespace fs = std::filesystem;

fs::path Kilnsmith::build(const BuildOptions& options) {
    const fs::path project = resolvedProject(options.project());
    Manifest manifest = validateProject(project);
    validateMetadata(options);
    const fs::path source = sourceFolder(project);
    refuseOutputInsideSource(source, options.outputDirectory());
    fs::create_directories(options.outputDirectory());
    sweepLeftovers(Folder::open(options.outputDirectory()), isPartialMoveName);
    refuseExistingOutputs(options);

    const StagingFolder staging;
    report("Preparing NW.js runtime\u2026");
    const fs::path runtimeApp = resolveRuntime(options.runtime(), staging.folder());
    checkBundleStructure(Folder::open(runtimeApp));
    checkArchitecture(runtimeApp, options.architecture);
    const std::string appName = options.name() + ".app";
    run("/usr/bin/ditto", {runtimeApp.string(), (staging.path() / appName).string()});
    const Folder stagedApp = staging.folder().folder(appName);
    checkBundleStructure(stagedApp);

    report("Adding project files\u2026");
    addProjectFiles(source, stagedApp, staging.folder());
    configureProject(manifest, stagedApp.folder("Contents/Resources/app.nw"), options);
    updatePlist(stagedApp, options);
    if (options.icon())
        installIcon(*options.icon(), stagedApp.folder("Contents/Resources"), staging.folder(), stagedApp);
    repairPermissions(stagedApp);
    signAndVerify(stagedApp.path(), options, staging.folder());
    if (options.zip) buildZIP(stagedApp.path(), staging.path());
    if (options.dmg()) buildDMG(stagedApp.path(), staging.folder());

    moveOutputs(options, stagedApp.path(), staging.folder());
    const fs::path finalApp = options.outputDirectory() / appName;
    report("Finished: " + finalApp.string());
    return finalApp;
}

void Kilnsmith::addProjectFiles(const fs::path& source, const Folder& app, const Folder& staging) const {
    const Folder resources = app.folder("Contents/Resources");
    resources.removeTree("app.nw");
    // The source may hold the temporary folder itself (a page chosen in /tmp);
    // the copy must not descend into its own staging folder.
    copyTree(Folder::open(source), resources, "app.nw", staging.path());
    const std::string path = (resources.path() / "app.nw").string();
    runIgnoringFailure("/usr/bin/chflags", {"-R", "nouchg", path});
    runIgnoringFailure("/bin/chmod", {"-RN", path});
    run("/bin/chmod", {"-R", "u+rwX", path});
}

void Kilnsmith::moveOutputs(const BuildOptions& options, const fs::path& stagedApp,
                            const Folder& staging) const {
    const fs::path& output = options.outputDirectory();
    if (!moveWithoutReplacing(stagedApp, output / stagedApp.filename()))
        throw BuilderError(outputExistsMessage);
    for (const char* extension : {".zip", ".dmg"}) {
        const std::string package = options.name() + extension;
        if (!staging.status(package)) continue;
        if (!moveWithoutReplacing(staging.path() / package, output / package))
            throw BuilderError(outputExistsMessage);
    }
}

} // namespace bundlekiln
