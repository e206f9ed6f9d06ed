#pragma once

#include <filesystem>

namespace hosttools {

/// A plain executable carries its signing record in this extended attribute,
/// as the real tool embeds the signature in the file itself.
inline constexpr const char* kSignatureAttribute = "user.bundlekiln.codesign";

/// Checks the seal of `top` and of every bundle inside it, the records of
/// signed plain files, and that no symbolic link points out of `top`. Returns
/// 0 when all hold; otherwise prints what is wrong, as "PATH: reason" lines,
/// and returns 1.
int verifyDeepStrict(const std::filesystem::path& top);

}  // namespace hosttools
