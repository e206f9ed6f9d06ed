#include "settings_store.h"

#include "atomic_file.h"

#include <plist/plist.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

namespace bundlekiln::app {
namespace {

namespace fs = std::filesystem;

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return fs::temp_directory_path();
}

fs::path configurationFolder() {
    if (const char* configured = std::getenv("XDG_CONFIG_HOME");
        configured && fs::path(configured).is_absolute())
        return configured;
    return homeFolder() / ".config";
}

std::string readFileOrNothing(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// Anything but a dictionary property list counts as an empty store.
plist_t loadDictionary(const fs::path& file) {
    const std::string contents = readFileOrNothing(file);
    plist_t root = nullptr;
    if (!contents.empty() && contents.size() <= std::numeric_limits<uint32_t>::max())
        plist_from_memory(contents.data(), static_cast<uint32_t>(contents.size()), &root);
    if (root && plist_get_node_type(root) == PLIST_DICT) return root;
    if (root) plist_free(root);
    return plist_new_dict();
}

plist_t typedNode(plist_t dictionary, const std::string& key, plist_type type) {
    plist_t node = plist_dict_get_item(dictionary, key.c_str());
    return node && plist_get_node_type(node) == type ? node : nullptr;
}

plist_t newNode(const SettingsStore::Value& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return plist_new_string(text->c_str());
    if (const auto* on = std::get_if<bool>(&value)) return plist_new_bool(*on);
    return plist_new_uint(static_cast<uint64_t>(std::get<std::int64_t>(value)));
}

} // namespace

void SettingsStore::PlistDeleter::operator()(void* node) const {
    plist_free(node);
}

SettingsStore::SettingsStore(fs::path file) : file_(std::move(file)), values_(loadDictionary(file_)) {}
SettingsStore::SettingsStore(SettingsStore&&) noexcept = default;
SettingsStore& SettingsStore::operator=(SettingsStore&&) noexcept = default;
SettingsStore::~SettingsStore() = default;

SettingsStore SettingsStore::forSuite(const std::string& suite) {
    return SettingsStore(suiteFile(suite));
}

fs::path SettingsStore::suiteFile(const std::string& suite) {
    return configurationFolder() / "bundlekiln" / (suite + ".plist");
}

std::optional<std::string> SettingsStore::string(const std::string& key) const {
    plist_t node = typedNode(values_.get(), key, PLIST_STRING);
    if (!node) return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node, &value);
    std::string text = value ? value : "";
    std::free(value);
    return text;
}

std::optional<bool> SettingsStore::boolean(const std::string& key) const {
    plist_t node = typedNode(values_.get(), key, PLIST_BOOLEAN);
    if (!node) return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<std::int64_t> SettingsStore::integer(const std::string& key) const {
    plist_t node = typedNode(values_.get(), key, PLIST_UINT);
    if (!node) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    // The property list keeps 64 bits; negative numbers come back by the same cast.
    return static_cast<std::int64_t>(value);
}

void SettingsStore::setString(const std::string& key, const std::string& value) {
    setValues({{key, value}});
}

void SettingsStore::setBoolean(const std::string& key, bool value) {
    setValues({{key, value}});
}

void SettingsStore::setInteger(const std::string& key, std::int64_t value) {
    setValues({{key, value}});
}

void SettingsStore::setValues(const std::map<std::string, Value>& values) {
    for (const auto& [key, value] : values) plist_dict_set_item(values_.get(), key.c_str(), newNode(value));
    persist();
}

void SettingsStore::persist() const {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(values_.get(), &xml, &length);
    if (!xml) return;
    const std::string contents(xml, length);
    plist_to_xml_free(xml);
    std::error_code ignored;
    fs::create_directories(file_.parent_path(), ignored);
    try {
        writeFileAtomically(file_, contents);
    } catch (const fs::filesystem_error&) {
        // The store reports no write errors; the values stay in memory.
    }
}

} // namespace bundlekiln::app
