#include "common/top_level_name.h"

#include <string>

#include "common/tool_failure.h"

namespace hosttools {

std::filesystem::path topLevelName(const std::filesystem::path& source, std::string_view action) {
    auto absolute = std::filesystem::absolute(source).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    if (absolute.filename().empty() || absolute == absolute.root_path()) {
        throw ToolFailure("Could not " + std::string(action) + " " + source.string() +
                          ": it has no name to keep as the top folder.");
    }
    return absolute.filename();
}

} // namespace hosttools
