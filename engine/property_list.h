#pragma once

#include "folder.h"

#include <plist/plist.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace bundlekiln {

/// A file or text that is not a property list we can read. Its text names
/// the file (when there is one) and the reason.
class PropertyListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Sole owner of one libplist value tree.
class PropertyList {
public:
    explicit PropertyList(plist_t root) : root_(root) {}
    PropertyList(PropertyList&& other) noexcept : root_(other.root_) { other.root_ = nullptr; }
    PropertyList(const PropertyList&) = delete;
    PropertyList& operator=(const PropertyList&) = delete;
    PropertyList& operator=(PropertyList&&) = delete;
    ~PropertyList() {
        if (root_) plist_free(root_);
    }

    plist_t root() const { return root_; }
    /// Hands the tree to a new owner (a container it is inserted into).
    plist_t release() { return std::exchange(root_, nullptr); }
    bool isDictionary() const { return plist_get_node_type(root_) == PLIST_DICT; }

private:
    plist_t root_;
};

/// Containers nested deeper than this are refused before any parser sees the
/// data: libplist walks trees recursively and would overflow the stack.
inline constexpr std::size_t maximumPropertyListDepth = 512;

/// Parses XML, binary or old-style text (OpenStep) property-list data.
/// Throws PropertyListError with the reason when it is none of them.
PropertyList parsePropertyList(std::string_view data);

/// The file `name` in `folder`, parsed: a regular file, opened without blocking
/// and without following a link. The error's text names the file; read errors
/// are thrown as std::filesystem::filesystem_error, a file of another kind as
/// BuilderError.
PropertyList readPropertyList(const Folder& folder, const std::string& name);

/// The XML property list (version 1.0) text of `list`.
std::string xmlText(const PropertyList& list);

} // namespace bundlekiln
