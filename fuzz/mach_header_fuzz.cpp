// A runtime's executable as the stand-in lipo reads it: its architectures,
// or a refusal naming the file.
#include "common/tool_failure.h"
#include "macho/mach_header.h"
#include "posix/private_folder.h"
#include "write_bytes.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto folder = posix::PrivateFolder::create("bundlekiln");
    const auto executable = folder.path() / "nwjs";
    fuzzing::writeBytes(executable, data, size);
    try {
        (void)hosttools::readArchitectures(executable);
    } catch (const hosttools::ToolFailure&) {}
    return 0;
}
