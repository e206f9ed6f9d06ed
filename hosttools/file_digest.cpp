#include "file_digest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "tool_failure.h"
#include "unique_fd.h"

namespace hosttools {

namespace {

std::string hex(const unsigned char* bytes, unsigned length) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned index = 0; index < length; ++index) {
    text += digits[bytes[index] >> 4];
    text += digits[bytes[index] & 0x0F];
  }
  return text;
}

}  // namespace

std::string sha256OfFile(const std::filesystem::path& path) {
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer; only a regular file has contents to digest.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) throwErrno("Could not open", path);
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) throwErrno("Could not read", path);
  if (!S_ISREG(status.st_mode))
    throw ToolFailure("Cannot seal " + path.string() + ": it is not a regular file, folder or symbolic link.");
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
  std::vector<unsigned char> buffer(1 << 20);
  for (;;) {
    const ssize_t count = ::read(fd.get(), buffer.data(), buffer.size());
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throwErrno("Could not read", path);
    }
    EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_DigestFinal_ex(context.get(), digest, &length);
  return hex(digest, length);
}

}  // namespace hosttools
