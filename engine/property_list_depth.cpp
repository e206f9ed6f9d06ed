// Nesting depth of property-list data, measured without building a tree, so
// that hostile input is refused before a recursive parser can overflow.
#include "property_list_depth.h"

#include "property_list.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bundlekiln {
namespace {

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

/// Where the tag or markup starting at `at` ends (one past its last byte).
std::size_t endOfMarkup(std::string_view text, std::size_t at, std::string_view terminator) {
    const auto end = text.find(terminator, at);
    return end == std::string_view::npos ? text.size() : end + terminator.size();
}

bool opensContainer(std::string_view text, std::size_t at) {
    for (std::string_view tag : {"<array", "<dict"}) {
        if (!startsWith(text, at, tag) || at + tag.size() >= text.size()) continue;
        const char next = text[at + tag.size()];
        if (next == '>' || next == ' ' || next == '\t' || next == '\n' || next == '\r') return true;
    }
    return false;
}

[[noreturn]] void damaged() {
    throw PropertyListError("its binary data is damaged");
}

/// The big-endian unsigned integer of `size` bytes at `at`.
std::uint64_t readInteger(std::string_view data, std::uint64_t at, std::uint64_t size) {
    if (size == 0 || size > 8 || at > data.size() || size > data.size() - at) damaged();
    std::uint64_t value = 0;
    for (std::uint64_t i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

/// The binary format's object table, read just far enough to follow references.
class ObjectTable {
public:
    explicit ObjectTable(std::string_view data) : data_(data) {
        constexpr std::size_t headerSize = 8, trailerSize = 32;
        if (data.size() < headerSize + trailerSize) damaged();
        const std::size_t trailer = data.size() - trailerSize;
        offsetSize_ = readInteger(data, trailer + 6, 1);
        referenceSize_ = readInteger(data, trailer + 7, 1);
        count_ = readInteger(data, trailer + 8, 8);
        top_ = readInteger(data, trailer + 16, 8);
        offsetTable_ = readInteger(data, trailer + 24, 8);
        if (offsetSize_ == 0 || offsetSize_ > 8 || referenceSize_ == 0 || referenceSize_ > 8) damaged();
        if (offsetTable_ > trailer || count_ > (trailer - offsetTable_) / offsetSize_ || top_ >= count_)
            damaged();
    }

    std::uint64_t count() const { return count_; }
    std::uint64_t top() const { return top_; }

    struct Object {
        bool container = false;
        std::vector<std::uint64_t> children;
    };

    /// Whether object `index` is an array, set or dictionary, and what it refers to.
    Object object(std::uint64_t index) const {
        std::uint64_t at = readInteger(data_, offsetTable_ + index * offsetSize_, offsetSize_);
        const auto marker = readInteger(data_, at++, 1);
        const auto type = marker >> 4;
        if (type < 0xA || type > 0xD) return {false, {}};
        std::uint64_t length = marker & 0xF;
        if (length == 0xF) {
            const auto lengthMarker = readInteger(data_, at++, 1);
            if (lengthMarker >> 4 != 0x1) damaged();
            const std::uint64_t lengthSize = std::uint64_t{1} << (lengthMarker & 0xF);
            length = readInteger(data_, at, lengthSize);
            at += lengthSize;
        }
        const std::uint64_t references = type == 0xD ? 2 * length : length;
        if (length > data_.size() ||
            references > (data_.size() - std::min<std::uint64_t>(at, data_.size())) / referenceSize_)
            damaged();
        Object result{true, {}};
        result.children.reserve(references);
        for (std::uint64_t i = 0; i < references; ++i) {
            const auto child = readInteger(data_, at + i * referenceSize_, referenceSize_);
            if (child >= count_) damaged();
            result.children.push_back(child);
        }
        return result;
    }

private:
    std::string_view data_;
    std::uint64_t offsetSize_ = 0, referenceSize_ = 0, count_ = 0, top_ = 0, offsetTable_ = 0;
};

} // namespace

std::size_t xmlContainerDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (startsWith(text, at, "<!--")) {
            at = endOfMarkup(text, at, "-->") - 1;
        } else if (startsWith(text, at, "<![CDATA[")) {
            at = endOfMarkup(text, at, "]]>") - 1;
        } else if (startsWith(text, at, "</array") || startsWith(text, at, "</dict")) {
            if (depth > 0) --depth;
        } else if (opensContainer(text, at)) {
            const std::size_t end = endOfMarkup(text, at, ">");
            if (text[end - 1] == '>' && text[end - 2] == '/') continue;
            deepest = std::max(deepest, ++depth);
        }
    }
    return deepest;
}

std::size_t binaryContainerDepth(std::string_view data) {
    const ObjectTable table(data);
    enum class State : unsigned char { unvisited, open, done };
    std::vector<State> state(table.count(), State::unvisited);
    std::vector<std::size_t> depth(table.count(), 0);
    // libplist copies a shared object at every reference, so a few hundred
    // bytes can describe 2^40 values; count what the copies would add up to.
    std::vector<std::uint64_t> expanded(table.count(), 0);
    // Depth-first with memoised depths: linear in the table even when
    // objects are shared, and a reference back to an open object is a cycle.
    struct Frame {
        std::uint64_t index;
        ObjectTable::Object object;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({table.top(), table.object(table.top())});
    state[table.top()] = State::open;
    while (!stack.empty()) {
        if (stack.size() > maximumPropertyListDepth) return stack.size();
        Frame& frame = stack.back();
        const auto& children = frame.object.children;
        if (frame.next == children.size()) {
            std::size_t deepest = 0;
            std::uint64_t values = 1;
            for (auto child : children) {
                deepest = std::max(deepest, depth[child]);
                values += expanded[child];
                if (values > maximumBinaryPropertyListValues)
                    throw PropertyListError("its binary data expands to more than " +
                                            std::to_string(maximumBinaryPropertyListValues) + " values");
            }
            depth[frame.index] = frame.object.container ? deepest + 1 : 0;
            expanded[frame.index] = values;
            state[frame.index] = State::done;
            stack.pop_back();
            continue;
        }
        const auto child = children[frame.next++];
        if (state[child] == State::open) throw PropertyListError("its binary data refers to itself");
        if (state[child] == State::done) continue;
        state[child] = State::open;
        stack.push_back({child, table.object(child)});
    }
    return depth[table.top()];
}

} // namespace bundlekiln
