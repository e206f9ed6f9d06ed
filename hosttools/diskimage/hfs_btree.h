#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/big_endian.h"
#include "diskimage/byte_sink.h"

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
    std::uint32_t attributes; // kBTBigKeysMask and kBTVariableIndexKeysMask bits
    std::uint8_t compareType; // 0xBC binary, as a case-sensitive volume compares names
    bool variableIndexKeys;   // index keys as long as their leaf keys, else padded to maxKeyLength
};

inline constexpr std::uint32_t kBTBigKeysMask = 0x2;
inline constexpr std::uint32_t kBTVariableIndexKeysMask = 0x4;

/// Hands every record of a tree, in key order, to the given function; it may
/// be called more than once and must give records of the same sizes each time.
using BTreeRecords = std::function<void(const std::function<void(const BTreeRecord&)>&)>;

/// A B-tree file laid out from its records one at a time, so that only one
/// node and the first key of each leaf node are held: the header node, the
/// leaf nodes linked in order, and the index levels above them. A tree
/// without records is a lone header node.
class BTreeFile {
public:
    /// Reads the records once to lay the tree out. Throws ToolFailure when the
    /// nodes would outgrow the map record of the header node.
    BTreeFile(const BTreeRecords& records, const BTreeShape& shape);

    std::uint64_t size() const;

    /// Writes the whole file, reading the records once more.
    void write(const BTreeRecords& records, ByteSink& sink) const;

    struct Level {
        std::uint32_t firstNumber = 0;
        std::vector<Bytes> firstKeys; // one per node
    };

private:
    /// Node 0: the header record, the user data record and the map of nodes in use.
    Bytes headerNode() const;

    BTreeShape shape_;
    std::uint32_t leafRecords_ = 0;
    std::vector<Level> levels_; // leaves first, up to the root
};

} // namespace hosttools
