#pragma once

#include <string>

namespace bundlekiln {

/// A new random (version 4) UUID in its 36-character text form with upper-case
/// hexadecimal digits, from the operating system's random source.
std::string randomUUID();

} // namespace bundlekiln
