// An app bundle's tree, built from the input, as the signing step walks it:
// every code bundle and Mach-O file listed once, deepest first, the app last,
// and no symbolic link listed or followed.
#include "posix/private_folder.h"
#include "signing_list.h"
#include "write_bytes.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 6> extensions = {"", ".app", ".framework", ".xpc", ".dylib", ".APP"};
constexpr std::array<const char*, 6> linkTargets = {".", "..", "/", "../..", "loop", "a"};
constexpr std::array<std::array<unsigned char, 4>, 5> heads = {{
    {0xCF, 0xFA, 0xED, 0xFE},
    {0xCE, 0xFA, 0xED, 0xFE},
    {0xCA, 0xFE, 0xBA, 0xBE},
    {0xBE, 0xBA, 0xFE, 0xCA},
    {'#', '!', '/', 'b'},
}};

/// Reads the input as records of three bytes: what to make (folder, file,
/// symbolic link, or a step back up), a name, and a detail (extension, link
/// target, or how much of a Mach-O head the file gets).
class TreeBuilder {
public:
    explicit TreeBuilder(fs::path app) : app_(std::move(app)), current_(app_) { fs::create_directory(app_); }

    void add(std::uint8_t kind, std::uint8_t name, std::uint8_t detail) {
        const fs::path path = current_ / (std::string(1, static_cast<char>('a' + name % 4)) +
                                          extensions[detail % extensions.size()]);
        std::error_code error;
        switch (kind % 4) {
        case 0:
            fs::create_directory(path, error);
            if (fs::is_directory(fs::symlink_status(path, error))) current_ = path;
            break;
        case 1:
            writeFile(path, detail);
            break;
        case 2:
            fs::create_symlink(linkTargets[detail % linkTargets.size()], path, error);
            break;
        case 3:
            if (current_ != app_) current_ = current_.parent_path();
            break;
        }
    }

    const std::set<fs::path>& machOFiles() const { return machO_; }

private:
    void writeFile(const fs::path& path, std::uint8_t detail) {
        if (fs::exists(fs::symlink_status(path))) return;
        const auto& head = heads[detail % heads.size()];
        const std::size_t length = detail / heads.size() % 2 ? head.size() : head.size() - 1;
        fuzzing::writeBytes(path, head.data(), length);
        if (length == head.size() && head[0] != '#') machO_.insert(path);
    }

    fs::path app_;
    fs::path current_;
    std::set<fs::path> machO_;
};

std::size_t depth(const fs::path& path) {
    return static_cast<std::size_t>(std::distance(path.begin(), path.end()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3 * 200) return 0;
    const auto scratch = posix::PrivateFolder::create("bundlekiln");
    const fs::path app = scratch.path() / "Fuzz.app";
    TreeBuilder builder(app);
    for (std::size_t i = 0; i + 2 < size; i += 3) builder.add(data[i], data[i + 1], data[i + 2]);

    const auto items = bundlekiln::signingList(app);
    if (items.empty() || items.back() != app) std::abort();
    std::set<fs::path> listed;
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        if (fs::is_symlink(items[i]) || !listed.insert(items[i]).second) std::abort();
        if (items[i].lexically_relative(app).empty() || *items[i].lexically_relative(app).begin() == "..")
            std::abort();
        if (i > 0 && depth(items[i]) > depth(items[i - 1])) std::abort();
    }
    for (const auto& file : builder.machOFiles())
        if (!listed.contains(file)) std::abort();
    return 0;
}
