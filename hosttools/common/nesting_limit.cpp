#include "common/nesting_limit.h"

#include <string>

#include "common/tool_failure.h"

namespace hosttools {

void throwTooDeep(std::string_view kind, const std::filesystem::path& path) {
    throw ToolFailure("The " + std::string(kind) + " " + path.string() + " nests folders more than " +
                      std::to_string(kMaximumNesting) + " levels deep.");
}

} // namespace hosttools
