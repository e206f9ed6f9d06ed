#pragma once

#include <cstdint>
#include <vector>

#include "big_endian.h"

namespace hosttools {

/// One B-tree record: its key (with the key length in front) and its data.
struct BTreeRecord {
  Bytes key;
  Bytes data;
};

/// The fixed properties of an HFS Plus B-tree file.
struct BTreeShape {
  std::uint16_t nodeSize;
  std::uint16_t maxKeyLength;
  std::uint32_t attributes;   // kBTBigKeysMask and kBTVariableIndexKeysMask bits
  std::uint8_t compareType;   // 0xBC binary, as a case-sensitive volume compares names
  bool variableIndexKeys;     // index keys as long as their leaf keys, else padded to maxKeyLength
};

inline constexpr std::uint32_t kBTBigKeysMask = 0x2;
inline constexpr std::uint32_t kBTVariableIndexKeysMask = 0x4;

/// Lays `sorted` (records in key order) out as a complete B-tree file: the
/// header node, the leaf nodes linked in order, and the index levels above
/// them. A tree without records is a lone header node. Throws ToolFailure when
/// the nodes would outgrow the map record of the header node.
Bytes buildBTree(const std::vector<BTreeRecord>& sorted, const BTreeShape& shape);

}  // namespace hosttools
