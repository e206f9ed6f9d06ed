#include "posix/file_contents_copy.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "posix/write_all.h"

namespace posix {
namespace {

constexpr std::size_t kKernelChunk = std::size_t{16} << 20;
constexpr std::size_t kBufferSize = std::size_t{1} << 20;

/// Errors meaning "this pair of files cannot be copied in the kernel", after
/// which plain reads and writes still work.
bool kernelCopyUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EPERM ||
           error == ETXTBSY;
}

int copyThroughBuffer(int in, int out, const std::function<void()>& beforeChunk) {
    std::vector<char> buffer(kBufferSize);
    while (true) {
        if (beforeChunk) beforeChunk();
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) return 0;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (const int error = writeAll(out, {buffer.data(), static_cast<std::size_t>(got)})) return error;
    }
}

} // namespace

int copyFileContents(int in, int out, const std::function<void()>& beforeChunk) {
    bool copiedAny = false;
    while (true) {
        if (beforeChunk) beforeChunk();
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, kKernelChunk, 0);
        if (copied > 0) {
            copiedAny = true;
            continue;
        }
        if (copied < 0 && errno == EINTR) continue;
        // Some file systems report 0 for "not supported"; reading tells that from an empty file.
        if (copied == 0 && copiedAny) return 0;
        if (copied < 0 && !kernelCopyUnsupported(errno)) return errno;
        return copyThroughBuffer(in, out, beforeChunk);
    }
}

} // namespace posix
