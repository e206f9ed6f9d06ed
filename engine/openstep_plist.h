#pragma once

#include "property_list.h"

#include <string_view>

namespace bundlekiln {

/// Parses the old text property-list format: dictionaries { key = value; },
/// arrays ( a, b ), quoted and bare strings, <hex data>, and comments.
/// Every scalar becomes a string, as the format has no other type. Throws
/// PropertyListError naming the line of the first fault; nesting deeper than
/// maximumPropertyListDepth is one.
PropertyList parseOpenStepPropertyList(std::string_view text);

} // namespace bundlekiln
