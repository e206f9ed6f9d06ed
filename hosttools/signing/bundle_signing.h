#pragma once

#include <filesystem>
#include <string>

namespace hosttools {

/// Seals the bundle `top` ad hoc, each bundle inside it first, so that each
/// seal covers the seals within. Throws ToolFailure when `top` is missing or
/// not a bundle, when a link in it resolves outside it, and when a seal
/// cannot be written.
void signAdHocDeep(const std::filesystem::path& top);

/// Signs `item` as `identity` with the hardened runtime, a timestamp and the
/// digest of the entitlements file: a bundle gets a seal (the bundles inside
/// it are left as they are), a plain file a signing record in an extended
/// attribute. Throws ToolFailure when `item` or the entitlements are missing,
/// when `item` is neither, and when a link in a bundle resolves outside it.
void signWithIdentity(const std::string& identity, const std::filesystem::path& entitlements,
                      const std::filesystem::path& item);

} // namespace hosttools
