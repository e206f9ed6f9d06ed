#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace bundlekiln::app {

/// A small persistent store of typed values (string, bool, integer) by key,
/// kept as one XML property list per suite. The file is read once, when the
/// store is made; every change is written back at once, atomically, so a
/// crash never leaves half a file. A value stored under a key with another
/// type than the one asked for reads as absent, and so does everything in a
/// file that is missing, unreadable or not a dictionary property list: such a
/// file is replaced by the next change. Writes report no errors: a store that
/// cannot write keeps its values in memory for the rest of the process.
class SettingsStore {
public:
    using Value = std::variant<std::string, bool, std::int64_t>;

    /// A store kept in `file`.
    explicit SettingsStore(std::filesystem::path file);
    SettingsStore(SettingsStore&&) noexcept;
    SettingsStore& operator=(SettingsStore&&) noexcept;
    ~SettingsStore();

    /// The store of one suite: `suiteFile(suite)`.
    static SettingsStore forSuite(const std::string& suite);

    /// <configuration folder>/bundlekiln/<suite>.plist, the configuration folder
    /// being XDG_CONFIG_HOME when set and absolute, otherwise ~/.config.
    static std::filesystem::path suiteFile(const std::string& suite);

    std::optional<std::string> string(const std::string& key) const;
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;

    void setString(const std::string& key, const std::string& value);
    void setBoolean(const std::string& key, bool value);
    void setInteger(const std::string& key, std::int64_t value);
    /// Stores all of `values` with one write of the file.
    void setValues(const std::map<std::string, Value>& values);

    const std::filesystem::path& file() const { return file_; }

private:
    struct PlistDeleter {
        void operator()(void* node) const;
    };
    using Dictionary = std::unique_ptr<void, PlistDeleter>;

    void persist() const;

    std::filesystem::path file_;
    Dictionary values_;
};

} // namespace bundlekiln::app
