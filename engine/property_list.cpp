// The property-list layer: libplist reads XML and binary and writes XML; the
// old text format goes to our own reader. Nesting is measured first because
// libplist parses, writes and frees trees recursively.
#include "property_list.h"

#include "openstep_plist.h"
#include "property_list_depth.h"
#include "regular_file.h"

#include <limits>
#include <memory>
#include <system_error>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

enum class Format { xml, binary, text };

Format formatOf(std::string_view data) {
    if (data.starts_with("bplist")) return Format::binary;
    if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);
    const auto first = data.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return Format::text;
    // A text-format list may itself start with "<" (hex data), but never so.
    for (std::string_view opening : {"<?", "<!", "<plist"})
        if (data.compare(first, opening.size(), opening) == 0) return Format::xml;
    return Format::text;
}

void refuseDeepNesting(std::size_t depth) {
    if (depth > maximumPropertyListDepth)
        throw PropertyListError("containers nest more than " + std::to_string(maximumPropertyListDepth) +
                                " levels deep");
}

PropertyList parsedByLibplist(std::string_view data, Format format) {
    if (data.size() > std::numeric_limits<std::uint32_t>::max()) throw PropertyListError("it is too large");
    plist_t root = nullptr;
    const auto length = static_cast<std::uint32_t>(data.size());
    if (format == Format::binary)
        plist_from_bin(data.data(), length, &root);
    else
        plist_from_xml(data.data(), length, &root);
    if (!root)
        throw PropertyListError(format == Format::binary ? "it is not a valid binary property list"
                                                         : "it is not a valid XML property list");
    return PropertyList(root);
}

} // namespace

PropertyList parsePropertyList(std::string_view data) {
    switch (formatOf(data)) {
    case Format::binary:
        refuseDeepNesting(binaryContainerDepth(data));
        return parsedByLibplist(data, Format::binary);
    case Format::xml:
        refuseDeepNesting(xmlContainerDepth(data));
        return parsedByLibplist(data, Format::xml);
    case Format::text:
        break;
    }
    return parseOpenStepPropertyList(data);
}

PropertyList readPropertyList(const Folder& folder, const std::string& name) {
    const fs::path path = folder.path() / name;
    const std::string data = readRegularFile(folder.fd(), name, "The property list " + path.string(), path);
    try {
        return parsePropertyList(data);
    } catch (const PropertyListError& error) {
        throw PropertyListError("The file " + path.string() +
                                " is not a readable property list: " + error.what() + ".");
    }
}

std::string xmlText(const PropertyList& list) {
    char* text = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(list.root(), &text, &length);
    if (!text) throw PropertyListError("The property list could not be written as XML.");
    const std::unique_ptr<char, void (*)(char*)> owner(text, plist_to_xml_free);
    return std::string(text, length);
}

} // namespace bundlekiln
