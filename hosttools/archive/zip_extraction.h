#pragma once

#include <cstdint>
#include <filesystem>

namespace hosttools {

/// How far an archive may unpack: `multiple` times its own size, and never
/// less than `floor` bytes.
struct ExpansionLimit {
    std::uintmax_t floor;
    std::uintmax_t multiple;

    std::uintmax_t forArchiveOf(std::uintmax_t archiveSize) const;
};

/// Real runtimes and apps are mostly machine code, which deflates about 3:1,
/// and a runtime unpacks to a few hundred MB: the floor alone holds one, and
/// no real archive passes the multiple. Deflate reaches about 1000:1 on long
/// runs of one byte, which is what a zip bomb is made of. There is no fixed
/// ceiling, since apps with large media of their own pass through here too.
inline constexpr ExpansionLimit kExpansionLimit{std::uintmax_t{512} << 20, 32};

/// Extracts the PKZip archive `archive` into `directory` (created with its
/// parents when missing), streaming each entry and keeping folders, symlinks,
/// modes (less the set-user and set-group bits) and times.
///
/// Refuses, before writing anything, an archive with an entry nested more
/// than kMaximumNesting folders deep ("The archive PATH nests folders more
/// than 256 levels deep."), or one whose entries declare more bytes in all
/// than `limit` allows. Refuses, and stops at, any entry that would land
/// outside `directory`: an absolute name, a `..` component, or a path through
/// a symlink on disk (such as one an earlier entry made); and stops when the
/// bytes written pass the limit (entries that declare less than they hold).
/// Throws ToolFailure naming the archive on such an entry, on damage (an
/// archive without its central directory, as a cut-off download is, is
/// damaged), or when the file is missing or is not a PKZip archive. What was
/// extracted before the failure stays.
void extractZip(const std::filesystem::path& archive, const std::filesystem::path& directory,
                const ExpansionLimit& limit = kExpansionLimit);

} // namespace hosttools
