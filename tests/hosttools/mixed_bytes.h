#pragma once

#include <cstddef>
#include <string>

namespace hosttools_test {

/// `size` bytes in alternating runs of 300,000: noise that does not compress,
/// then text that does, so that compressed output holds pieces of both kinds.
std::string mixedBytes(std::size_t size);

} // namespace hosttools_test
