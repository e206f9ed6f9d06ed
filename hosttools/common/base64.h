#pragma once

#include <string>

#include "common/big_endian.h"

namespace hosttools {

/// `bytes` in standard Base64 with '=' padding, as property lists hold data.
std::string base64(const Bytes& bytes);

} // namespace hosttools
