#include "hfs_btree.h"

#include <algorithm>

#include "tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kDescriptorSize = 14;
constexpr std::size_t kHeaderRecordSize = 106;
constexpr std::size_t kUserDataRecordSize = 128;
constexpr std::int8_t kLeafNode = -1, kIndexNode = 0, kHeaderNode = 1;

/// A node being filled: its descriptor fields and its records.
struct Node {
  std::int8_t kind;
  std::uint8_t height;
  std::vector<Bytes> records;
  std::size_t used = kDescriptorSize + 2;  // the descriptor and the free-space offset
};

/// One level of the tree: its nodes, numbered consecutively from
/// `firstNumber`, and the first key of each for the level above.
struct Level {
  std::vector<Node> nodes;
  std::vector<Bytes> firstKeys;
  std::uint32_t firstNumber;
};

/// A record to place, with the key that the level above would index it by.
struct Placed {
  Bytes key;
  Bytes bytes;
};

/// Records packed into nodes in order, each node as full as it goes.
Level packLevel(std::vector<Placed> records, std::int8_t kind, std::uint8_t height, std::size_t nodeSize,
                std::uint32_t firstNumber) {
  Level level{{}, {}, firstNumber};
  for (auto& record : records) {
    if (level.nodes.empty() || level.nodes.back().used + record.bytes.size() + 2 > nodeSize) {
      level.nodes.push_back(Node{kind, height, {}});
      level.firstKeys.push_back(std::move(record.key));
    }
    level.nodes.back().used += record.bytes.size() + 2;
    level.nodes.back().records.push_back(std::move(record.bytes));
  }
  return level;
}

Bytes indexKey(const Bytes& leafKey, const BTreeShape& shape) {
  Bytes key = leafKey;
  if (!shape.variableIndexKeys) {
    key.resize(2 + shape.maxKeyLength, 0);
    storeBigEndian<std::uint16_t>(key, 0, shape.maxKeyLength);
  }
  return key;
}

Bytes serialize(const Node& node, std::uint32_t forward, std::uint32_t backward, std::size_t nodeSize) {
  Bytes out;
  appendBigEndian<std::uint32_t>(out, forward);
  appendBigEndian<std::uint32_t>(out, backward);
  out.push_back(static_cast<std::uint8_t>(node.kind));
  out.push_back(node.height);
  appendBigEndian<std::uint16_t>(out, static_cast<std::uint16_t>(node.records.size()));
  appendBigEndian<std::uint16_t>(out, 0);
  std::vector<std::uint16_t> offsets;
  for (const auto& record : node.records) {
    offsets.push_back(static_cast<std::uint16_t>(out.size()));
    out.insert(out.end(), record.begin(), record.end());
  }
  offsets.push_back(static_cast<std::uint16_t>(out.size()));
  out.resize(nodeSize, 0);
  // Record offsets are stored from the end of the node backwards.
  for (std::size_t index = 0; index < offsets.size(); ++index)
    storeBigEndian<std::uint16_t>(out, nodeSize - 2 * (index + 1), offsets[index]);
  return out;
}

/// What the header record tells about the tree.
struct TreeSummary {
  std::uint16_t depth = 0;
  std::uint32_t root = 0, leafRecords = 0, firstLeaf = 0, lastLeaf = 0, totalNodes = 1;
};

Node headerNode(const TreeSummary& tree, const BTreeShape& shape) {
  Bytes header;
  appendBigEndian<std::uint16_t>(header, tree.depth);
  appendBigEndian<std::uint32_t>(header, tree.root);
  appendBigEndian<std::uint32_t>(header, tree.leafRecords);
  appendBigEndian<std::uint32_t>(header, tree.firstLeaf);
  appendBigEndian<std::uint32_t>(header, tree.lastLeaf);
  appendBigEndian<std::uint16_t>(header, shape.nodeSize);
  appendBigEndian<std::uint16_t>(header, shape.maxKeyLength);
  appendBigEndian<std::uint32_t>(header, tree.totalNodes);
  appendBigEndian<std::uint32_t>(header, 0);  // free nodes: the file holds exactly the nodes in use
  appendBigEndian<std::uint16_t>(header, 0);
  appendBigEndian<std::uint32_t>(header, shape.nodeSize);  // clump size
  header.push_back(0);                                    // btree type: HFS
  header.push_back(shape.compareType);
  appendBigEndian<std::uint32_t>(header, shape.attributes);
  appendZeros(header, kHeaderRecordSize - header.size());
  // The map record marks every node as used: nodes 0 .. totalNodes-1.
  Bytes map(shape.nodeSize - kDescriptorSize - kHeaderRecordSize - kUserDataRecordSize - 8, 0);
  for (std::uint32_t node = 0; node < tree.totalNodes; ++node) map[node / 8] |= static_cast<std::uint8_t>(0x80 >> (node % 8));
  return Node{kHeaderNode, 0, {header, Bytes(kUserDataRecordSize, 0), map}};
}

std::size_t mapCapacity(const BTreeShape& shape) {
  return 8 * (shape.nodeSize - kDescriptorSize - kHeaderRecordSize - kUserDataRecordSize - 8);
}

std::vector<Placed> leafRecords(const std::vector<BTreeRecord>& sorted) {
  std::vector<Placed> records;
  for (const auto& record : sorted) {
    Bytes bytes = record.key;
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
    records.push_back({record.key, std::move(bytes)});
  }
  return records;
}

/// One index record per node of `children`: its first key and its number.
std::vector<Placed> indexRecords(const Level& children, const BTreeShape& shape) {
  std::vector<Placed> records;
  for (std::size_t index = 0; index < children.nodes.size(); ++index) {
    Bytes bytes = indexKey(children.firstKeys[index], shape);
    appendBigEndian<std::uint32_t>(bytes, children.firstNumber + static_cast<std::uint32_t>(index));
    records.push_back({children.firstKeys[index], std::move(bytes)});
  }
  return records;
}

/// The leaf level (numbered from 1, after the header node) and the index
/// levels above it, up to a single root node.
std::vector<Level> buildLevels(const std::vector<BTreeRecord>& sorted, const BTreeShape& shape) {
  std::vector<Level> levels{packLevel(leafRecords(sorted), kLeafNode, 1, shape.nodeSize, 1)};
  while (levels.back().nodes.size() > 1) {
    const Level& below = levels.back();
    const auto next = below.firstNumber + static_cast<std::uint32_t>(below.nodes.size());
    levels.push_back(packLevel(indexRecords(below, shape), kIndexNode, static_cast<std::uint8_t>(levels.size() + 1),
                               shape.nodeSize, next));
  }
  return levels;
}

TreeSummary summarize(const std::vector<Level>& levels, std::size_t recordCount) {
  TreeSummary tree;
  tree.totalNodes = levels.back().firstNumber + static_cast<std::uint32_t>(levels.back().nodes.size());
  if (recordCount == 0) return tree;
  tree.depth = static_cast<std::uint16_t>(levels.size());
  tree.root = levels.back().firstNumber;
  tree.leafRecords = static_cast<std::uint32_t>(recordCount);
  tree.firstLeaf = levels.front().firstNumber;
  tree.lastLeaf = tree.firstLeaf + static_cast<std::uint32_t>(levels.front().nodes.size()) - 1;
  return tree;
}

void appendLevel(Bytes& file, const Level& level, std::size_t nodeSize) {
  for (std::size_t index = 0; index < level.nodes.size(); ++index) {
    const std::uint32_t number = level.firstNumber + static_cast<std::uint32_t>(index);
    const std::uint32_t forward = index + 1 < level.nodes.size() ? number + 1 : 0;
    const std::uint32_t backward = index > 0 ? number - 1 : 0;
    const Bytes bytes = serialize(level.nodes[index], forward, backward, nodeSize);
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
}

}  // namespace

Bytes buildBTree(const std::vector<BTreeRecord>& sorted, const BTreeShape& shape) {
  const auto levels = buildLevels(sorted, shape);
  const TreeSummary tree = summarize(levels, sorted.size());
  if (tree.totalNodes > mapCapacity(shape))
    throw ToolFailure("The source holds too many files and folders for one image.");
  Bytes file = serialize(headerNode(tree, shape), 0, 0, shape.nodeSize);
  for (const auto& level : levels) appendLevel(file, level, shape.nodeSize);
  return file;
}

}  // namespace hosttools
