#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace bundlekiln {

/// How deeply arrays and dictionaries nest in XML property-list text,
/// counted from the tags alone (comments skipped); 0 for a bare value.
std::size_t xmlContainerDepth(std::string_view text);

/// The most values a binary property list may stand for once every shared
/// object is counted at each of its references, as libplist copies them.
inline constexpr std::uint64_t maximumBinaryPropertyListValues = std::uint64_t{1} << 20;

/// The same for binary property-list data, over its object table. Throws
/// PropertyListError for references that leave the table or form a cycle, and
/// for data that expands to more than maximumBinaryPropertyListValues values.
std::size_t binaryContainerDepth(std::string_view data);

} // namespace bundlekiln
