#include "posix/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace posix {

int writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

} // namespace posix
