#include "common/path_containment.h"

#include <algorithm>
#include <system_error>

namespace hosttools {

bool isSameOrInside(const std::filesystem::path& candidate, const std::filesystem::path& folder) {
    std::error_code error;
    const auto inner = std::filesystem::weakly_canonical(candidate, error);
    if (error) return false;
    const auto outer = std::filesystem::weakly_canonical(folder, error);
    if (error) return false;
    const auto outerEnd = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first;
    // An outer path that ends in a separator leaves one empty element unmatched.
    return outerEnd == outer.end() || (std::next(outerEnd) == outer.end() && outerEnd->empty());
}

} // namespace hosttools
