// A runtime zip as the stand-in ditto extracts it, each run into a fresh
// folder. Whatever the archive holds, nothing may land beside the target.
#include "archive/zip_extraction.h"
#include "common/tool_failure.h"
#include "posix/private_folder.h"
#include "write_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Extraction enters the target folder, as the one-shot tool may; libFuzzer
    // needs its own folder back for the relative corpus paths.
    static const int startingFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    static const auto archiveFolder = posix::PrivateFolder::create("bundlekiln");
    const auto archive = archiveFolder.path() / "runtime.zip";
    fuzzing::writeBytes(archive, data, size);
    const auto scratch = posix::PrivateFolder::create("bundlekiln");
    const auto target = scratch.path() / "target";
    try {
        hosttools::extractZip(archive, target);
    } catch (const hosttools::ToolFailure&) {}
    if (fchdir(startingFolder) != 0) std::abort();
    // The target itself, if created, is the only entry allowed beside it.
    const auto entries = std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator());
    if (entries > 1 ||
        std::distance(fs::directory_iterator(archiveFolder.path()), fs::directory_iterator()) != 1)
        std::abort();
    return 0;
}
