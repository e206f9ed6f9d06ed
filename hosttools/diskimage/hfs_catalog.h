#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>

#include "diskimage/hfs_btree.h"

namespace hosttools {

/// The catalog node ID of a volume's root folder, and of its parent.
inline constexpr std::uint32_t kRootFolderId = 2;
inline constexpr std::uint32_t kRootParentId = 1;

/// What the catalog keeps of an item's lstat().
struct EntryStatus {
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    time_t accessed = 0, modified = 0, changed = 0;
};

/// One file, folder or symlink of the source as the catalog records it. Kept
/// small, as a source may hold a great many.
struct CatalogEntry {
    std::string sourceName; // its name in the source folder; empty for the top
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::u16string name;
    EntryStatus status;
    std::string linkTarget;     // symlinks only; stored as the link's data
    std::uint32_t valence = 0;  // folders only: the number of direct children
    std::uint64_t dataSize = 0; // files and symlinks: the data fork's length
    std::uint32_t startBlock = 0;
    std::uint32_t blockCount = 0;
};

/// The tree that goes into a volume: the root folder named after the volume,
/// holding the source folder under its own name.
struct Catalog {
    std::filesystem::path top; // the source folder
    std::u16string volumeName;
    std::deque<CatalogEntry> entries; // parents before children, children in name order; ids in this order
    std::uint32_t fileCount = 0;      // files and symlinks
    std::uint32_t folderCount = 0;    // folders other than the root
    std::uint32_t nextId = 0;
};

/// Reads the tree below `source` (symlinks never followed). Throws
/// ToolFailure naming the path for a device, socket or FIFO, for a name the
/// catalog cannot hold, or when something cannot be read.
Catalog scanCatalog(const std::filesystem::path& source, const std::u16string& volumeName);

/// Where an entry's contents are read from.
std::filesystem::path sourcePath(const Catalog& catalog, const CatalogEntry& entry);

/// The catalog B-tree's records in key order, made as they are read: for the
/// root and each entry a folder or file record and a thread record. The
/// records see the entries' blocks as they are when read.
BTreeRecords catalogRecords(const Catalog& catalog);

/// Seconds since 1904-01-01, the epoch of HFS dates.
std::uint32_t hfsDate(std::int64_t unixSeconds);

} // namespace hosttools
