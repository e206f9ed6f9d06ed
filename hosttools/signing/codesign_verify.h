#pragma once

#include <filesystem>
#include <string_view>

namespace hosttools {

/// A plain executable carries its signing record in this extended attribute,
/// as the real tool embeds the signature in the file itself.
inline constexpr const char* kSignatureAttribute = "user.bundlekiln.codesign";

/// Why codesign refuses a link that resolves to somewhere outside the bundle
/// (BundleLinkCheck), when signing and when verifying alike.
inline constexpr std::string_view kLinkLeavesBundle = "invalid destination for symbolic link in bundle";

/// Checks the seal of `top` and of every bundle inside it, the records of
/// signed plain files, and that no symbolic link resolves to somewhere
/// outside `top`. Returns 0 when all hold; otherwise prints what is wrong, as
/// "PATH: reason" lines, and returns 1.
int verifyDeepStrict(const std::filesystem::path& top);

} // namespace hosttools
