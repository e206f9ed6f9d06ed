// package.json as a project brings it: validated, then written back the way
// the build writes the manifest it configured.
#include "builder_error.h"
#include "kilnsmith.h"
#include "posix/private_folder.h"
#include "write_bytes.h"

#include <cstdint>
#include <cstdlib>

namespace {

// One project folder for the whole run: only package.json changes between
// inputs; index.html is there for manifests that name it.
const std::filesystem::path& projectFolder() {
    static const auto folder = posix::PrivateFolder::create("bundlekiln");
    static const bool hasPage = (fuzzing::writeBytes(folder.path() / "index.html", "<p>", 3), true);
    (void)hasPage;
    return folder.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = projectFolder();
    fuzzing::writeBytes(folder / "package.json", data, size);
    try {
        const bundlekiln::Manifest manifest = bundlekiln::Kilnsmith().validateProject(folder);
        if (!manifest.is_object() || !manifest.at("main").is_string()) std::abort();
        (void)manifest.dump(2);
    } catch (const bundlekiln::BuilderError&) {
    } catch (const nlohmann::json::exception&) {}
    return 0;
}
