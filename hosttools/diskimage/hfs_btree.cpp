#include "diskimage/hfs_btree.h"

#include <algorithm>

#include "common/tool_failure.h"

namespace hosttools {
namespace {

constexpr std::size_t kDescriptorSize = 14;
constexpr std::size_t kHeaderRecordSize = 106;
constexpr std::size_t kUserDataRecordSize = 128;
constexpr std::int8_t kLeafNode = -1, kIndexNode = 0, kHeaderNode = 1;

/// A node being filled with records, laid out as it will be stored: the
/// descriptor, the records, and their offsets from the end of the node back.
class Node {
public:
    Node(std::int8_t kind, std::uint8_t height, std::size_t size)
        : kind_(kind), height_(height), bytes_(size, 0) {}

    bool empty() const { return offsets_.empty(); }

    // Each record also takes two bytes for its offset; the free-space offset takes two more.
    bool fits(std::size_t recordSize) const {
        return kDescriptorSize + 2 * (offsets_.size() + 2) + (end_ - kDescriptorSize) + recordSize <=
               bytes_.size();
    }

    void add(const Bytes& key, const Bytes& rest = {}) {
        offsets_.push_back(static_cast<std::uint16_t>(end_));
        std::copy(key.begin(), key.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(end_));
        std::copy(rest.begin(), rest.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(end_ + key.size()));
        end_ += key.size() + rest.size();
    }

    /// The stored node with its links. The node is emptied for the next one.
    Bytes take(std::uint32_t forward, std::uint32_t backward) {
        Bytes out = std::move(bytes_);
        storeBigEndian<std::uint32_t>(out, 0, forward);
        storeBigEndian<std::uint32_t>(out, 4, backward);
        out[8] = static_cast<std::uint8_t>(kind_);
        out[9] = height_;
        storeBigEndian<std::uint16_t>(out, 10, static_cast<std::uint16_t>(offsets_.size()));
        offsets_.push_back(static_cast<std::uint16_t>(end_));
        for (std::size_t index = 0; index < offsets_.size(); ++index)
            storeBigEndian<std::uint16_t>(out, out.size() - 2 * (index + 1), offsets_[index]);
        bytes_.assign(out.size(), 0);
        offsets_.clear();
        end_ = kDescriptorSize;
        return out;
    }

private:
    std::int8_t kind_;
    std::uint8_t height_;
    Bytes bytes_;
    std::vector<std::uint16_t> offsets_;
    std::size_t end_ = kDescriptorSize;
};

/// Packs one level's records into nodes, each as full as it goes, numbered
/// from `firstNumber`; `stored` receives each finished node when given.
class LevelPacker {
public:
    LevelPacker(std::int8_t kind, std::uint8_t height, const BTreeShape& shape, BTreeFile::Level& level,
                std::uint32_t nodeCount = 0, ByteSink* stored = nullptr)
        : node_(kind, height, shape.nodeSize), level_(level), nodeCount_(nodeCount), stored_(stored) {}

    void add(const Bytes& key, const Bytes& rest, const Bytes& indexedBy) {
        if (!node_.empty() && !node_.fits(key.size() + rest.size())) finishNode();
        if (!node_.fits(key.size() + rest.size()))
            throw ToolFailure("A catalog record is larger than a node.");
        if (node_.empty() && !stored_) level_.firstKeys.push_back(indexedBy);
        node_.add(key, rest);
    }

    void finish() {
        if (!node_.empty()) finishNode();
    }

private:
    void finishNode() {
        const std::uint32_t number = level_.firstNumber + finished_;
        if (stored_) {
            const std::uint32_t forward = finished_ + 1 < nodeCount_ ? number + 1 : 0;
            const Bytes bytes = node_.take(forward, finished_ > 0 ? number - 1 : 0);
            stored_->write(bytes.data(), bytes.size());
        } else {
            node_.take(0, 0);
        }
        ++finished_;
    }

    Node node_;
    BTreeFile::Level& level_;
    std::uint32_t nodeCount_;
    ByteSink* stored_;
    std::uint32_t finished_ = 0;
};

Bytes indexKey(const Bytes& leafKey, const BTreeShape& shape) {
    Bytes key = leafKey;
    if (!shape.variableIndexKeys) {
        key.resize(2 + shape.maxKeyLength, 0);
        storeBigEndian<std::uint16_t>(key, 0, shape.maxKeyLength);
    }
    return key;
}

Bytes nodeNumber(std::uint32_t number) {
    Bytes bytes;
    appendBigEndian(bytes, number);
    return bytes;
}

/// Packs the index records that point at each node of `children`.
void packIndex(const BTreeFile::Level& children, LevelPacker& packer, const BTreeShape& shape) {
    for (std::size_t index = 0; index < children.firstKeys.size(); ++index) {
        const Bytes& key = children.firstKeys[index];
        packer.add(indexKey(key, shape), nodeNumber(children.firstNumber + static_cast<std::uint32_t>(index)),
                   key);
    }
    packer.finish();
}

std::size_t mapCapacity(const BTreeShape& shape) {
    return 8 * (shape.nodeSize - kDescriptorSize - kHeaderRecordSize - kUserDataRecordSize - 8);
}

std::uint32_t nodeCount(const BTreeFile::Level& level) {
    return static_cast<std::uint32_t>(level.firstKeys.size());
}

} // namespace

BTreeFile::BTreeFile(const BTreeRecords& records, const BTreeShape& shape) : shape_(shape) {
    levels_.push_back(Level{1, {}});
    LevelPacker leaves(kLeafNode, 1, shape_, levels_.front());
    records([&](const BTreeRecord& record) {
        leaves.add(record.key, record.data, record.key);
        ++leafRecords_;
    });
    leaves.finish();
    while (nodeCount(levels_.back()) > 1) {
        const Level& below = levels_.back();
        Level above{below.firstNumber + nodeCount(below), {}};
        LevelPacker packer(kIndexNode, static_cast<std::uint8_t>(levels_.size() + 1), shape_, above);
        packIndex(below, packer, shape_);
        levels_.push_back(std::move(above));
    }
    if (levels_.back().firstNumber + nodeCount(levels_.back()) > mapCapacity(shape_))
        throw ToolFailure("The source holds too many files and folders for one image.");
}

std::uint64_t BTreeFile::size() const {
    const Level& top = levels_.back();
    return static_cast<std::uint64_t>(top.firstNumber + nodeCount(top)) * shape_.nodeSize;
}

Bytes BTreeFile::headerNode() const {
    const Level& top = levels_.back();
    const std::uint32_t totalNodes = top.firstNumber + nodeCount(top);
    const bool empty = leafRecords_ == 0;
    Bytes header;
    appendBigEndian<std::uint16_t>(header, empty ? 0 : static_cast<std::uint16_t>(levels_.size())); // depth
    appendBigEndian<std::uint32_t>(header, empty ? 0 : top.firstNumber);                            // root
    appendBigEndian<std::uint32_t>(header, leafRecords_);
    appendBigEndian<std::uint32_t>(header, empty ? 0 : levels_.front().firstNumber); // first leaf
    appendBigEndian<std::uint32_t>(header,
                                   empty ? 0 : levels_.front().firstNumber + nodeCount(levels_.front()) - 1);
    appendBigEndian<std::uint16_t>(header, shape_.nodeSize);
    appendBigEndian<std::uint16_t>(header, shape_.maxKeyLength);
    appendBigEndian<std::uint32_t>(header, totalNodes);
    appendBigEndian<std::uint32_t>(header, 0); // free nodes: the file holds exactly the nodes in use
    appendBigEndian<std::uint16_t>(header, 0);
    appendBigEndian<std::uint32_t>(header, shape_.nodeSize); // clump size
    header.push_back(0);                                     // btree type: HFS
    header.push_back(shape_.compareType);
    appendBigEndian<std::uint32_t>(header, shape_.attributes);
    appendZeros(header, kHeaderRecordSize - header.size());
    // The map record marks every node as used: nodes 0 .. totalNodes-1.
    Bytes map(shape_.nodeSize - kDescriptorSize - kHeaderRecordSize - kUserDataRecordSize - 8, 0);
    for (std::uint32_t node = 0; node < totalNodes; ++node)
        map[node / 8] |= static_cast<std::uint8_t>(0x80 >> (node % 8));
    Node node(kHeaderNode, 0, shape_.nodeSize);
    node.add(header);
    node.add(Bytes(kUserDataRecordSize, 0));
    node.add(map);
    return node.take(0, 0);
}

void BTreeFile::write(const BTreeRecords& records, ByteSink& sink) const {
    const Bytes header = headerNode();
    sink.write(header.data(), header.size());
    Level leafLevel{levels_.front().firstNumber, {}};
    LevelPacker leaves(kLeafNode, 1, shape_, leafLevel, nodeCount(levels_.front()), &sink);
    records([&](const BTreeRecord& record) { leaves.add(record.key, record.data, record.key); });
    leaves.finish();
    for (std::size_t height = 1; height < levels_.size(); ++height) {
        Level level{levels_[height].firstNumber, {}};
        LevelPacker packer(kIndexNode, static_cast<std::uint8_t>(height + 1), shape_, level,
                           nodeCount(levels_[height]), &sink);
        packIndex(levels_[height - 1], packer, shape_);
    }
}

} // namespace hosttools
