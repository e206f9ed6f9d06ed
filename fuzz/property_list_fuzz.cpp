// Info.plist data in any of the three formats: parsed, written as XML the way
// the build writes it back, and that XML read again.
#include "property_list.h"

#include <cstdint>
#include <cstdlib>

namespace {

// XML has no UID: it is written as the dictionary {"CF$UID": n}, which reads back as a dictionary.
plist_type typeAfterXML(plist_t node) {
    const plist_type type = plist_get_node_type(node);
    return type == PLIST_UID ? PLIST_DICT : type;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const bundlekiln::PropertyList list = bundlekiln::parsePropertyList(text);
        const std::string xml = bundlekiln::xmlText(list);
        const bundlekiln::PropertyList again = bundlekiln::parsePropertyList(xml);
        if (plist_get_node_type(again.root()) != typeAfterXML(list.root())) std::abort();
    } catch (const bundlekiln::PropertyListError&) {}
    return 0;
}
