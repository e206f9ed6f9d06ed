// Reads JSON text and turns the parser's failures into sentences of our own,
// which name the place of the fault but none of the library's internals.
#include "json_text.h"

#include "builder_error.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace bundlekiln {
namespace {

using Json = nlohmann::json;

constexpr int numberOverflow = 406;

/// Where the parser stopped (the 1-based index of the last byte it read, one
/// past the end at the end of the text) and what it said there.
struct Fault {
    std::size_t position;
    int id;
    std::string description;
};

/// Accepts every event and keeps the first fault. The parser reports where
/// it stopped only to a SAX handler; its exceptions carry no place for a
/// number out of range.
class FaultFinder : public Json::json_sax_t {
public:
    std::optional<Fault> fault;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&, const Json::exception& error) override {
        fault = Fault{position, error.id, error.what()};
        return false;
    }
};

/// A plain phrase for the fault. The parser tells malformed strings and
/// numbers apart from other faults only in its description.
std::string reasonFor(const Fault& fault, std::string_view text) {
    if (fault.id == numberOverflow) return "number out of range";
    if (fault.position > text.size()) return "unexpected end of text";
    if (fault.description.find("invalid string") != std::string::npos) return "invalid string";
    if (fault.description.find("invalid number") != std::string::npos) return "invalid number";
    return "unexpected character";
}

std::string placeOf(const Fault& fault, std::string_view text) {
    const std::size_t offset = std::min(fault.position, text.size() + 1) - 1;
    const std::string_view before = text.substr(0, offset);
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    // With no line break before the fault, npos + 1 wraps to the text's start.
    const std::size_t lineStart = before.rfind('\n') + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

std::optional<Fault> faultIn(const std::string& text) {
    FaultFinder finder;
    Json::sax_parse(text, &finder);
    return finder.fault;
}

} // namespace

Json parseJSON(const std::string& text, const std::string& noun, int maximumDepth) {
    const auto limitDepth = [&](int depth, Json::parse_event_t event, const Json&) {
        const bool opens =
            event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
        if (opens && depth >= maximumDepth)
            throw BuilderError(noun + " nests arrays and objects more than " + std::to_string(maximumDepth) +
                               " levels deep.");
        return true;
    };
    try {
        return Json::parse(text, limitDepth);
    } catch (const Json::exception&) {
        // A second, event-only pass finds where the text went wrong.
        const auto fault = faultIn(text);
        if (!fault) throw;
        throw BuilderError(noun + " is not valid JSON: " + reasonFor(*fault, text) + " at " +
                           placeOf(*fault, text) + ".");
    }
}

} // namespace bundlekiln
