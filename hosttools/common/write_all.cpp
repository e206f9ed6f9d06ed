#include "common/write_all.h"

#include <unistd.h>

#include <cerrno>

#include "common/tool_failure.h"

namespace hosttools {

void writeAll(int fd, std::string_view data, const std::filesystem::path& target) {
    while (!data.empty()) {
        const auto written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) throwErrno("Could not write", target);
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace hosttools
