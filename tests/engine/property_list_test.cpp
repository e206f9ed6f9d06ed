#include "property_list.h"

#include <gtest/gtest.h>

#include <cstdint>
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

/// A binary list of the `objects` (each given by its bytes, referring to
/// others by 4-byte index), the first one at the top.
std::string binaryList(const std::vector<std::string>& objects) {
    std::string data = "bplist00", offsets;
    for (const std::string& object : objects) {
        offsets += bigEndian(data.size(), 4);
        data += object;
    }
    const std::size_t table = data.size();
    return data + offsets + std::string(6, '\0') + '\x04' + '\x04' + bigEndian(objects.size(), 8) +
           bigEndian(0, 8) + bigEndian(table, 8);
}

/// `count` one-element arrays, each holding the next, the last one empty; or,
/// with `cycle`, the last holding the first.
std::string nestedBinary(std::size_t count, bool cycle = false) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i + 1 < count; ++i) objects.push_back('\xA1' + bigEndian(i + 1, 4));
    objects.push_back(cycle ? '\xA1' + bigEndian(0, 4) : std::string("\xA0"));
    return binaryList(objects);
}

/// `count` arrays, each holding the next one twice: a few hundred bytes that
/// stand for 2^count values once shared objects are copied.
std::string sharedBinary(std::size_t count) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < count; ++i)
        objects.push_back('\xA2' + bigEndian(i + 1, 4) + bigEndian(i + 1, 4));
    objects.push_back("\x51x");
    return binaryList(objects);
}

/// The parse's reason for refusing `data`, or the XML text it was read as.
std::string outcome(const std::string& data) {
    try {
        return xmlText(parsePropertyList(data));
    } catch (const PropertyListError& error) {
        return error.what();
    }
}

bool parsed(const std::string& data) {
    return outcome(data).starts_with("<?xml");
}

// Refused before any parser sees the data, which would exhaust the stack.
TEST(PropertyList, NestingBeyondTheLimitIsRefusedInEveryFormat) {
    for (const std::size_t depth :
         {maximumPropertyListDepth, maximumPropertyListDepth + 1, std::size_t{100000}}) {
        for (const std::string& data :
             {"<?xml version=\"1.0\"?><plist version=\"1.0\">" + repeated("<array>", depth) +
                  repeated("</array>", depth) + "</plist>",
              nestedBinary(depth), repeated("(", depth) + repeated(")", depth)}) {
            const char* expected = depth <= maximumPropertyListDepth ? "<?xml" : "nest";
            EXPECT_NE(outcome(data).find(expected), std::string::npos) << depth;
        }
    }
}

TEST(PropertyList, DamagedOrExplodingBinaryDataIsRefused) {
    const std::string good = nestedBinary(3);
    ASSERT_TRUE(parsed(good));
    EXPECT_NE(outcome(nestedBinary(3, true)).find("refers to itself"), std::string::npos);
    for (std::size_t length : {std::size_t{8}, std::size_t{20}, good.size() - 1})
        EXPECT_FALSE(parsed(good.substr(0, length))) << length;
    std::string outOfTable = good;
    outOfTable[10] = '\x7F'; // the first array's reference
    EXPECT_FALSE(parsed(outOfTable));
    EXPECT_TRUE(parsed(sharedBinary(10)));
    EXPECT_NE(outcome(sharedBinary(40)).find("expands to more than"), std::string::npos);
}

TEST(PropertyList, TheTextFormatIsReadWithItsEscapesAndItsFaultsNameTheirLine) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("tab\there \"q\" \101 \U00e9 \Ud83d\Ude00")",
         "<string>tab\there \"q\" A \xC3\xA9 \xF0\x9F\x98\x80</string>"},
        {"<0fA1 b2>", "<data>\nD6Gy\n</data>"},
        {"{\n a = b;\n c = ;\n}", "line 3: unexpected character"},
        {"{ a = b }", "line 1: expected \";\" after a dictionary value"},
        {"( a, b", "line 1: unterminated array"},
        {"<0f1>", "line 1: data has an odd number of hexadecimal digits"},
        {"\"open", "line 1: unterminated string"},
        {"{ } extra", "line 1: unexpected text after the top-level value"},
        {"", "line 1: unexpected end of text"},
        {"( \"a\\0b\" )", "line 1: a string holds a NUL character"},
        {"{ a = \"\xC3\x28\"; }", "line 1: a string is not UTF-8"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_NE(outcome(text).find(expected), std::string::npos) << text;
}

} // namespace
} // namespace bundlekiln
