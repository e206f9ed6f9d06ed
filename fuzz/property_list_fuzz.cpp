// Info.plist data in any of the three formats: parsed, written as XML the way
// the build writes it back, and that XML read again.
#include "property_list.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const bundlekiln::PropertyList list = bundlekiln::parsePropertyList(text);
        const std::string xml = bundlekiln::xmlText(list);
        const bundlekiln::PropertyList again = bundlekiln::parsePropertyList(xml);
        if (plist_get_node_type(again.root()) != plist_get_node_type(list.root())) std::abort();
    } catch (const bundlekiln::PropertyListError&) {
    }
    return 0;
}
