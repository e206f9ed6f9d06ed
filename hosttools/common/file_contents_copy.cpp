#include "common/file_contents_copy.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kKernelChunk = std::size_t{1} << 30;
constexpr std::size_t kBufferSize = std::size_t{1} << 17;

/// Errors meaning "this pair of files cannot be copied in the kernel", after
/// which plain read/write still works.
bool kernelCopyUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EPERM ||
           error == ETXTBSY;
}

/// Returns false when nothing was copied and the caller should fall back.
bool copyInKernel(int in, int out, const std::filesystem::path& source,
                  const std::filesystem::path& destination) {
    bool copiedAny = false;
    while (true) {
        const auto copied = ::copy_file_range(in, nullptr, out, nullptr, kKernelChunk, 0);
        if (copied > 0) {
            copiedAny = true;
            continue;
        }
        if (copied == 0) return copiedAny; // Some file systems report 0 for "not supported".
        if (errno == EINTR) continue;
        if (!copiedAny && kernelCopyUnsupported(errno)) return false;
        throwErrno("Could not copy " + source.string() + " to", destination);
    }
}

void writeAll(int out, const char* data, std::size_t size, const std::filesystem::path& destination) {
    while (size > 0) {
        const auto written = ::write(out, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) throwErrno("Could not write", destination);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void copyThroughBuffer(int in, int out, const std::filesystem::path& source,
                       const std::filesystem::path& destination) {
    std::vector<char> buffer(kBufferSize);
    while (true) {
        const auto got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) return;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throwErrno("Could not read", source);
        writeAll(out, buffer.data(), static_cast<std::size_t>(got), destination);
    }
}

} // namespace

void copyFileContents(int in, int out, const std::filesystem::path& source,
                      const std::filesystem::path& destination) {
    if (copyInKernel(in, out, source, destination)) return;
    copyThroughBuffer(in, out, source, destination);
}

} // namespace hosttools
