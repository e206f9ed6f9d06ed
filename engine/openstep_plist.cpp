// A reader for the old text property-list format, which libplist lacks.
// Recursive descent with an explicit depth limit; every value it builds is
// owned by a PropertyList until its container takes it, so a fault midway
// leaks nothing.
#include "openstep_plist.h"

#include "utf8.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace bundlekiln {
namespace {

bool isBareCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_$+/:.-").find(c) != std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUTF8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    PropertyList document() {
        PropertyList root = value(0);
        skipBlanks();
        if (at_ != text_.size()) fail("unexpected text after the top-level value");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        const auto line =
            1 + std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(at_), '\n');
        throw PropertyListError("line " + std::to_string(line) + ": " + reason);
    }

    bool atEnd() const { return at_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }

    void skipBlanks() {
        while (!atEnd()) {
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++at_;
            } else if (text_.compare(at_, 2, "//") == 0) {
                const auto end = text_.find('\n', at_);
                at_ = end == std::string_view::npos ? text_.size() : end;
            } else if (text_.compare(at_, 2, "/*") == 0) {
                const auto end = text_.find("*/", at_ + 2);
                if (end == std::string_view::npos) fail("unterminated comment");
                at_ = end + 2;
            } else {
                return;
            }
        }
    }

    void expect(char c, const char* what) {
        skipBlanks();
        if (peek() != c) fail(std::string("expected ") + what);
        ++at_;
    }

    PropertyList value(std::size_t depth) {
        skipBlanks();
        switch (peek()) {
        case '{':
            return dictionary(depth + 1);
        case '(':
            return array(depth + 1);
        case '<':
            return data();
        case '"':
        case '\'':
            return PropertyList(plist_new_string(quoted().c_str()));
        default:
            return PropertyList(plist_new_string(bare().c_str()));
        }
    }

    void checkDepth(std::size_t depth) const {
        if (depth > maximumPropertyListDepth)
            fail("containers nest more than " + std::to_string(maximumPropertyListDepth) + " levels deep");
    }

    PropertyList dictionary(std::size_t depth) {
        checkDepth(depth);
        ++at_;
        PropertyList result(plist_new_dict());
        for (skipBlanks(); peek() != '}'; skipBlanks()) {
            if (atEnd()) fail("unterminated dictionary");
            const std::string key = string();
            expect('=', "\"=\" after a dictionary key");
            PropertyList item = value(depth);
            expect(';', "\";\" after a dictionary value");
            plist_dict_set_item(result.root(), key.c_str(), item.release());
        }
        ++at_;
        return result;
    }

    PropertyList array(std::size_t depth) {
        checkDepth(depth);
        ++at_;
        PropertyList result(plist_new_array());
        for (skipBlanks(); peek() != ')'; skipBlanks()) {
            if (atEnd()) fail("unterminated array");
            PropertyList item = value(depth);
            plist_array_append_item(result.root(), item.release());
            skipBlanks();
            if (peek() == ',')
                ++at_;
            else if (atEnd())
                fail("unterminated array");
            else if (peek() != ')')
                fail("expected \",\" or \")\" in an array");
        }
        ++at_;
        return result;
    }

    PropertyList data() {
        ++at_;
        std::vector<char> bytes;
        int high = -1;
        for (; peek() != '>'; ++at_) {
            if (atEnd()) fail("unterminated data");
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            const int digit = hexValue(c);
            if (digit < 0) fail("data may hold only hexadecimal digits");
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<char>(high << 4 | digit));
                high = -1;
            }
        }
        if (high >= 0) fail("data has an odd number of hexadecimal digits");
        ++at_;
        return PropertyList(plist_new_data(bytes.data(), bytes.size()));
    }

    std::string string() {
        skipBlanks();
        return peek() == '"' || peek() == '\'' ? quoted() : bare();
    }

    std::string bare() {
        const std::size_t start = at_;
        while (!atEnd() && isBareCharacter(text_[at_])) ++at_;
        if (at_ == start) fail(atEnd() ? "unexpected end of text" : "unexpected character");
        return std::string(text_.substr(start, at_ - start));
    }

    std::string quoted() {
        const char quote = text_[at_++];
        std::string result;
        while (peek() != quote) {
            if (atEnd()) fail("unterminated string");
            const char c = text_[at_++];
            if (c == '\\')
                result += escape();
            else
                result += c;
        }
        // libplist keeps strings NUL-terminated and writes them into XML as
        // they are: a NUL would cut the text short, bad UTF-8 would spoil the file.
        if (result.find('\0') != std::string::npos) fail("a string holds a NUL character");
        if (!isValidUTF8(result)) fail("a string is not UTF-8");
        ++at_;
        return result;
    }

    std::string escape() {
        if (atEnd()) fail("unterminated string");
        const char c = text_[at_++];
        switch (c) {
        case 'n':
            return "\n";
        case 't':
            return "\t";
        case 'r':
            return "\r";
        case 'b':
            return "\b";
        case 'f':
            return "\f";
        case 'v':
            return "\v";
        case 'a':
            return "\a";
        case 'U':
            return unicodeEscape();
        default:
            break;
        }
        if (c >= '0' && c <= '7') return octalEscape(c);
        return std::string(1, c);
    }

    std::string octalEscape(char first) {
        unsigned value = static_cast<unsigned>(first - '0');
        for (int i = 0; i < 2 && peek() >= '0' && peek() <= '7'; ++i)
            value = value * 8 + static_cast<unsigned>(text_[at_++] - '0');
        std::string out;
        appendUTF8(out, value & 0xFF);
        return out;
    }

    std::uint32_t hexUnit() {
        std::uint32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(peek());
            if (digit < 0) fail("\\U needs four hexadecimal digits");
            unit = unit << 4 | static_cast<std::uint32_t>(digit);
            ++at_;
        }
        return unit;
    }

    std::string unicodeEscape() {
        std::uint32_t code = hexUnit();
        if (code >= 0xD800 && code < 0xDC00 && text_.compare(at_, 2, "\\U") == 0) {
            at_ += 2;
            const std::uint32_t low = hexUnit();
            if (low < 0xDC00 || low >= 0xE000) fail("\\U surrogate pair is incomplete");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            fail("\\U surrogate pair is incomplete");
        }
        std::string out;
        appendUTF8(out, code);
        return out;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

PropertyList parseOpenStepPropertyList(std::string_view text) {
    return Reader(text).document();
}

} // namespace bundlekiln
