#include "diskimage/hfs_catalog.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

#include "common/symlink_target.h"
#include "common/tool_failure.h"
#include "common/top_level_name.h"
#include "common/tree_walk.h"
#include "diskimage/hfs_name.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFirstUserId = 16;
constexpr std::int16_t kFolderRecord = 1, kFileRecord = 2, kFolderThread = 3, kFileThread = 4;
constexpr std::uint16_t kThreadExists = 0x0002;
// Type and creator that mark a file as a symbolic link.
constexpr std::uint32_t kSymlinkType = 0x736C6E6B;    // 'slnk'
constexpr std::uint32_t kSymlinkCreator = 0x72686170; // 'rhap'

EntryStatus entryStatus(const struct stat& status) {
    return {status.st_mode, status.st_uid, status.st_gid, status.st_atime, status.st_mtime, status.st_ctime};
}

/// Adds `entry` under its parent: the last of `openFolders`, the entries of
/// the folders on the way down to it, by depth.
void addEntry(Catalog& catalog, std::vector<std::size_t>& openFolders, const TreeEntry& entry,
              const fs::path& topName) {
    const mode_t mode = entry.status.st_mode;
    const bool isTop = entry.depth == 0;
    if (!S_ISDIR(mode) && !S_ISREG(mode) && !S_ISLNK(mode))
        throw ToolFailure("", entry.path,
                          " cannot go into an image: it is not a file, folder or symbolic link.");
    CatalogEntry item;
    if (!isTop) item.sourceName = entry.name;
    item.id = catalog.nextId++;
    item.name =
        hfsName(isTop ? topName.string() : std::string(entry.name), shownPath(entry.path, catalog.top));
    item.status = entryStatus(entry.status);
    openFolders.resize(entry.depth);
    if (isTop) {
        item.parentId = kRootFolderId;
    } else {
        CatalogEntry& parent = catalog.entries[openFolders.back()];
        item.parentId = parent.id;
        ++parent.valence;
    }
    if (S_ISLNK(mode)) item.linkTarget = symlinkTarget(entry.folder, entry.name, entry.path);
    item.dataSize = S_ISLNK(mode)   ? item.linkTarget.size()
                    : S_ISREG(mode) ? static_cast<std::uint64_t>(entry.status.st_size)
                                    : 0;
    if (S_ISDIR(mode)) {
        openFolders.push_back(catalog.entries.size());
        ++catalog.folderCount;
    } else {
        ++catalog.fileCount;
    }
    catalog.entries.push_back(std::move(item));
}

Bytes catalogKey(std::uint32_t parentId, const std::u16string& name) {
    Bytes key;
    appendBigEndian<std::uint16_t>(key, static_cast<std::uint16_t>(6 + 2 * name.size()));
    appendBigEndian<std::uint32_t>(key, parentId);
    appendBigEndian<std::uint16_t>(key, static_cast<std::uint16_t>(name.size()));
    for (const char16_t unit : name) appendBigEndian<std::uint16_t>(key, unit);
    return key;
}

void appendDates(Bytes& out, const EntryStatus& status) {
    appendBigEndian(out, hfsDate(status.modified)); // created: Linux keeps no birth time here
    appendBigEndian(out, hfsDate(status.modified)); // content modified
    appendBigEndian(out, hfsDate(status.changed));  // attributes modified
    appendBigEndian(out, hfsDate(status.accessed)); // accessed
    appendBigEndian<std::uint32_t>(out, 0);         // backed up: never
}

void appendPermissions(Bytes& out, const EntryStatus& status) {
    appendBigEndian<std::uint32_t>(out, status.owner);
    appendBigEndian<std::uint32_t>(out, status.group);
    out.push_back(0); // admin flags
    out.push_back(0); // owner flags
    appendBigEndian<std::uint16_t>(out, static_cast<std::uint16_t>(status.mode));
    appendBigEndian<std::uint32_t>(out, 0);
}

Bytes folderRecord(std::uint32_t id, std::uint32_t valence, const EntryStatus& status) {
    Bytes out;
    appendBigEndian(out, kFolderRecord);
    appendBigEndian<std::uint16_t>(out, 0);
    appendBigEndian(out, valence);
    appendBigEndian(out, id);
    appendDates(out, status);
    appendPermissions(out, status);
    appendZeros(out, 32 + 8); // Finder info, text encoding, reserved
    return out;
}

void appendDataFork(Bytes& out, const CatalogEntry& entry) {
    appendBigEndian(out, entry.dataSize);
    appendBigEndian<std::uint32_t>(out, 0); // clump size
    appendBigEndian(out, entry.blockCount);
    appendBigEndian(out, entry.blockCount == 0 ? 0u : entry.startBlock);
    appendBigEndian(out, entry.blockCount);
    appendZeros(out, 7 * 8); // the other extents: every file is one run of blocks
}

Bytes fileRecord(const CatalogEntry& entry) {
    Bytes out;
    appendBigEndian(out, kFileRecord);
    appendBigEndian(out, kThreadExists);
    appendBigEndian<std::uint32_t>(out, 0);
    appendBigEndian(out, entry.id);
    appendDates(out, entry.status);
    appendPermissions(out, entry.status);
    const bool link = S_ISLNK(entry.status.mode);
    appendBigEndian(out, link ? kSymlinkType : 0u);
    appendBigEndian(out, link ? kSymlinkCreator : 0u);
    appendZeros(out, 8 + 16 + 8); // rest of the Finder info, extended info, text encoding, reserved
    appendDataFork(out, entry);
    appendZeros(out, 80); // no resource fork
    return out;
}

Bytes threadRecord(std::int16_t type, std::uint32_t parentId, const std::u16string& name) {
    Bytes out;
    appendBigEndian(out, type);
    appendBigEndian<std::int16_t>(out, 0);
    const Bytes key = catalogKey(parentId, name);
    out.insert(out.end(), key.begin() + 2, key.end()); // parent and name, laid out as in a key
    return out;
}

using RecordVisitor = std::function<void(const BTreeRecord&)>;

BTreeRecord entryRecord(const CatalogEntry& entry) {
    return {catalogKey(entry.parentId, entry.name), S_ISDIR(entry.status.mode)
                                                        ? folderRecord(entry.id, entry.valence, entry.status)
                                                        : fileRecord(entry)};
}

BTreeRecord entryThread(const CatalogEntry& entry) {
    const std::int16_t type = S_ISDIR(entry.status.mode) ? kFolderThread : kFileThread;
    return {catalogKey(entry.id, u""), threadRecord(type, entry.parentId, entry.name)};
}

/// The entries' indexes in the order of their records' keys: by parent, then by the name's UTF-16
/// units, as a case-sensitive volume orders them.
std::vector<std::uint32_t> keyOrder(const Catalog& catalog) {
    std::vector<std::uint32_t> order(catalog.entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const CatalogEntry &left = catalog.entries[a], &right = catalog.entries[b];
        return left.parentId != right.parentId ? left.parentId < right.parentId : left.name < right.name;
    });
    return order;
}

CatalogEntry rootEntry(const Catalog& catalog) {
    CatalogEntry root;
    root.id = kRootFolderId;
    root.parentId = kRootParentId;
    root.name = catalog.volumeName;
    root.status = catalog.entries.front().status;
    root.status.mode = S_IFDIR | 0755;
    root.valence = 1;
    return root;
}

} // namespace

std::uint32_t hfsDate(std::int64_t unixSeconds) {
    constexpr std::int64_t kEpochDifference = 2'082'844'800;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(unixSeconds + kEpochDifference, 0,
                                                               std::numeric_limits<std::uint32_t>::max()));
}

Catalog scanCatalog(const fs::path& source, const std::u16string& volumeName) {
    const fs::path topName = topLevelName(source, "make an image of");
    fs::path top = fs::absolute(source).lexically_normal();
    if (!top.has_filename()) top = top.parent_path();
    Catalog catalog{top, volumeName, {}, 0, 0, kFirstUserId};
    std::vector<std::size_t> openFolders;
    walkTree(top, [&](const TreeEntry& entry) {
        if (entry.depth == 0 && !S_ISDIR(entry.status.st_mode))
            throw ToolFailure(source.string() + ": Not a directory.");
        addEntry(catalog, openFolders, entry, topName);
    });
    return catalog;
}

fs::path sourcePath(const Catalog& catalog, const CatalogEntry& entry) {
    if (entry.id == kFirstUserId) return catalog.top;
    return sourcePath(catalog, catalog.entries[entry.parentId - kFirstUserId]) / entry.sourceName;
}

BTreeRecords catalogRecords(const Catalog& catalog) {
    auto order = std::make_shared<const std::vector<std::uint32_t>>(keyOrder(catalog));
    return [&catalog, order](const RecordVisitor& visit) {
        const CatalogEntry root = rootEntry(catalog);
        visit(entryRecord(root));
        visit(entryThread(root));
        // A thread's key (id, "") comes before every entry whose parent is that id or later.
        std::size_t threads = 0;
        for (const std::uint32_t index : *order) {
            const CatalogEntry& entry = catalog.entries[index];
            for (; threads < catalog.entries.size() && catalog.entries[threads].id <= entry.parentId;
                 ++threads)
                visit(entryThread(catalog.entries[threads]));
            visit(entryRecord(entry));
        }
        for (; threads < catalog.entries.size(); ++threads) visit(entryThread(catalog.entries[threads]));
    };
}

} // namespace hosttools
