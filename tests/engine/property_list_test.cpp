#include "property_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace bundlekiln {
namespace {

std::string repeated(const std::string& text, std::size_t times) {
    std::string result;
    for (std::size_t i = 0; i < times; ++i) result += text;
    return result;
}

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string result;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        result += static_cast<char>(value >> shift & 0xFF);
    return result;
}

/// A binary list of `count` one-element arrays, each holding the next, the
/// last one empty; or, with `cycle`, the last holding the first.
std::string nestedBinary(std::size_t count, bool cycle = false) {
    std::string data = "bplist00";
    std::string offsets;
    for (std::size_t i = 0; i < count; ++i) {
        offsets += bigEndian(data.size(), 4);
        const bool last = i + 1 == count;
        if (last && !cycle)
            data += '\xA0';
        else
            data += '\xA1' + bigEndian(last ? 0 : i + 1, 4);
    }
    const std::size_t table = data.size();
    return data + offsets + std::string(6, '\0') + '\x04' + '\x04' + bigEndian(count, 8) + bigEndian(0, 8) +
           bigEndian(table, 8);
}

/// A binary list of `count` arrays, each holding the next one twice: a few
/// hundred bytes that stand for 2^count values once shared objects are copied.
std::string sharedBinary(std::size_t count) {
    std::string data = "bplist00";
    std::string offsets;
    for (std::size_t i = 0; i <= count; ++i) {
        offsets += bigEndian(data.size(), 4);
        data += i == count ? std::string("\x51x") : '\xA2' + bigEndian(i + 1, 4) + bigEndian(i + 1, 4);
    }
    const std::size_t table = data.size();
    return data + offsets + std::string(6, '\0') + '\x04' + '\x04' + bigEndian(count + 1, 8) +
           bigEndian(0, 8) + bigEndian(table, 8);
}

std::string reasonFor(const std::string& data) {
    try {
        parsePropertyList(data);
    } catch (const PropertyListError& error) {
        return error.what();
    }
    return "<parsed>";
}

TEST(PropertyList, NestingBeyondTheLimitIsRefusedInEveryFormatBeforeParsing) {
    const std::size_t deep = 100000;
    const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">" + repeated("<array>", deep) +
                            repeated("</array>", deep) + "</plist>";
    EXPECT_NE(reasonFor(xml).find("nest"), std::string::npos);
    EXPECT_NE(reasonFor(nestedBinary(deep)).find("nest"), std::string::npos);
    EXPECT_NE(reasonFor(repeated("(", deep) + repeated(")", deep)).find("nest"), std::string::npos);
}

TEST(PropertyList, NestingAtTheLimitIsRead) {
    const std::size_t limit = maximumPropertyListDepth;
    const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">" + repeated("<array>", limit) +
                            repeated("</array>", limit) + "</plist>";
    EXPECT_EQ(reasonFor(xml), "<parsed>");
    EXPECT_EQ(reasonFor(nestedBinary(limit)), "<parsed>");
    EXPECT_EQ(reasonFor(repeated("(", limit) + repeated(")", limit)), "<parsed>");
}

TEST(PropertyList, DamagedBinaryDataIsRefused) {
    const std::string good = nestedBinary(3);
    ASSERT_EQ(reasonFor(good), "<parsed>");
    EXPECT_NE(reasonFor(nestedBinary(3, true)).find("refers to itself"), std::string::npos);
    for (std::size_t length : {std::size_t{8}, std::size_t{20}, good.size() - 1}) {
        EXPECT_NE(reasonFor(good.substr(0, length)), "<parsed>") << length;
    }
    std::string outOfTable = good;
    outOfTable[10] = '\x7F'; // the first array's reference
    EXPECT_NE(reasonFor(outOfTable), "<parsed>");
}

TEST(PropertyList, SharedBinaryObjectsThatWouldExpandBeyondTheLimitAreRefused) {
    EXPECT_EQ(reasonFor(sharedBinary(10)), "<parsed>");
    EXPECT_NE(reasonFor(sharedBinary(40)).find("expands to more than"), std::string::npos);
}

TEST(PropertyList, TextFormatFaultsNameTheirLine) {
    EXPECT_EQ(reasonFor("{\n a = b;\n c = ;\n}"), "line 3: unexpected character");
    EXPECT_EQ(reasonFor("{ a = b }"), "line 1: expected \";\" after a dictionary value");
    EXPECT_EQ(reasonFor("( a, b"), "line 1: unterminated array");
    EXPECT_EQ(reasonFor("<0f1>"), "line 1: data has an odd number of hexadecimal digits");
    EXPECT_EQ(reasonFor("\"open"), "line 1: unterminated string");
    EXPECT_EQ(reasonFor("{ } extra"), "line 1: unexpected text after the top-level value");
    EXPECT_EQ(reasonFor(""), "line 1: unexpected end of text");
    EXPECT_EQ(reasonFor("( \"a\\0b\" )"), "line 1: a string holds a NUL character");
    EXPECT_EQ(reasonFor("{ a = \"\xC3\x28\"; }"), "line 1: a string is not UTF-8");
}

TEST(PropertyList, TextFormatEscapesBecomeUTF8) {
    const PropertyList list = parsePropertyList(R"("tab\there \"q\" \101 \U00e9 \Ud83d\Ude00")");
    char* value = nullptr;
    plist_get_string_val(list.root(), &value);
    EXPECT_EQ(std::string(value), "tab\there \"q\" A \xC3\xA9 \xF0\x9F\x98\x80");
    std::free(value);
}

} // namespace
} // namespace bundlekiln
