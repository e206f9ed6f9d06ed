#pragma once

#include <span>
#include <string>

namespace posix {

enum class HexDigits { lower, upper };

/// Each byte as two hexadecimal digits, in order.
std::string hexText(std::span<const unsigned char> bytes, HexDigits digits = HexDigits::lower);

} // namespace posix
