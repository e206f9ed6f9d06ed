#include "signing/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>

#include "common/ordered_jobs.h"
#include "common/tool_failure.h"
#include "posix/hex_text.h"
#include "posix/unique_fd.h"

namespace hosttools {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr off_t kPageSize = off_t{1} << 20;

using Sha256 = std::array<unsigned char, 32>;

class Sha256Context {
public:
    Sha256Context() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
    }
    void add(const unsigned char* bytes, std::size_t size) { EVP_DigestUpdate(context_.get(), bytes, size); }
    Sha256 finish() {
        Sha256 digest{};
        unsigned length = 0;
        EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
        return digest;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

struct OpenFile {
    posix::UniqueFd fd;
    off_t size = 0;
};

OpenFile openRegularFile(int folder, const char* name, const std::filesystem::path& path) {
    // O_NONBLOCK so that opening a FIFO cannot wait for a writer; only a regular file has contents to digest.
    OpenFile file{posix::UniqueFd(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))};
    if (!file.fd.valid()) throwErrno("Could not open", path);
    struct stat status {};
    if (::fstat(file.fd.get(), &status) != 0) throwErrno("Could not read", path);
    if (!S_ISREG(status.st_mode))
        throw ToolFailure("Cannot seal ", path, ": it is not a regular file, folder or symbolic link.");
    file.size = status.st_size;
    return file;
}

// Adds the bytes from `offset` on to `context`, at most `limit` of them (or up to the end when limit is
// negative): a file that shrinks while it is read is digested as it was read.
void addFileBytes(Sha256Context& context, int fd, off_t offset, off_t limit,
                  const std::filesystem::path& path) {
    // Not zero-filled: a megabyte cleared for every small file was most of the time spent on them.
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kChunkSize);
    while (limit != 0) {
        const std::size_t wanted = limit < 0 ? kChunkSize : std::min<std::size_t>(kChunkSize, limit);
        const ssize_t count = ::pread(fd, buffer.get(), wanted, offset);
        if (count == 0) return;
        if (count < 0) {
            if (errno == EINTR) continue;
            throwErrno("Could not read", path);
        }
        context.add(buffer.get(), static_cast<std::size_t>(count));
        offset += count;
        if (limit > 0) limit -= count;
    }
}

Sha256 pageDigest(int fd, off_t offset, const std::filesystem::path& path) {
    Sha256Context context;
    addFileBytes(context, fd, offset, kPageSize, path);
    return context.finish();
}

} // namespace

std::string sha256OfFile(const std::filesystem::path& path) {
    const OpenFile file = openRegularFile(AT_FDCWD, path.c_str(), path);
    Sha256Context context;
    addFileBytes(context, file.fd.get(), 0, -1, path);
    return posix::hexText(context.finish());
}

std::string pagedDigestOfFile(int folder, const char* name, const std::filesystem::path& path) {
    const OpenFile file = openRegularFile(folder, name, path);
    Sha256Context list;
    OrderedJobs<Sha256> pages([&](Sha256& page) { list.add(page.data(), page.size()); });
    const int fd = file.fd.get();
    // A one-page file is not worth a thread.
    if (file.size <= kPageSize) pages.submitHere([&] { return pageDigest(fd, 0, path); });
    for (off_t offset = 0; file.size > kPageSize && offset < file.size; offset += kPageSize)
        pages.submit([&, offset] { return pageDigest(fd, offset, path); });
    pages.finish();
    return posix::hexText(list.finish());
}

} // namespace hosttools
