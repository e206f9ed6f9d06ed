#pragma once

#include <cstddef>
#include <string_view>

namespace bundlekiln {

/// How deeply arrays and dictionaries nest in XML property-list text,
/// counted from the tags alone (comments skipped); 0 for a bare value.
std::size_t xmlContainerDepth(std::string_view text);

/// The same for binary property-list data, over its object table. Throws
/// PropertyListError for references that leave the table or form a cycle.
std::size_t binaryContainerDepth(std::string_view data);

} // namespace bundlekiln
