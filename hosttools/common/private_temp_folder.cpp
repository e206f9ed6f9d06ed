#include "common/private_temp_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "common/tool_failure.h"

namespace hosttools {

namespace fs = std::filesystem;

PrivateTempFolder::PrivateTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/bundlekiln.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throwErrno("Could not create a temporary folder", pattern);
    path_ = pattern;
}

PrivateTempFolder::~PrivateTempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

} // namespace hosttools
