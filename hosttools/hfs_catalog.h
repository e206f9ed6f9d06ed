#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "hfs_btree.h"

namespace hosttools {

/// The catalog node ID of a volume's root folder, and of its parent.
inline constexpr std::uint32_t kRootFolderId = 2;
inline constexpr std::uint32_t kRootParentId = 1;

/// One file, folder or symlink of the source as the catalog records it.
struct CatalogEntry {
  std::filesystem::path source;
  std::uint32_t id = 0;
  std::uint32_t parentId = 0;
  std::u16string name;
  struct stat status {};
  std::string linkTarget;     // symlinks only; stored as the link's data
  std::uint32_t valence = 0;  // folders only: the number of direct children
  std::uint64_t dataSize = 0; // files and symlinks: the data fork's length
  std::uint32_t startBlock = 0;
  std::uint32_t blockCount = 0;
};

/// The tree that goes into a volume: the root folder named after the volume,
/// holding the source folder under its own name.
struct Catalog {
  std::u16string volumeName;
  std::vector<CatalogEntry> entries;  // parents before children, children in name order
  std::uint32_t fileCount = 0;        // files and symlinks
  std::uint32_t folderCount = 0;      // folders other than the root
  std::uint32_t nextId = 0;
};

/// Reads the tree below `source` (symlinks never followed). Throws
/// ToolFailure naming the path for a device, socket or FIFO, for a name the
/// catalog cannot hold, or when something cannot be read.
Catalog scanCatalog(const std::filesystem::path& source, const std::u16string& volumeName);

/// The catalog B-tree's records in key order: for the root and each entry a
/// folder or file record and a thread record. Entries must have their blocks.
std::vector<BTreeRecord> catalogRecords(const Catalog& catalog);

/// Seconds since 1904-01-01, the epoch of HFS dates.
std::uint32_t hfsDate(std::int64_t unixSeconds);

}  // namespace hosttools
