#include "signing/code_seal.h"

#include <fstream>
#include <string_view>

#include "common/confined_folder.h"
#include "common/pending_file.h"
#include "common/symlink_target.h"
#include "common/tool_failure.h"
#include "common/tree_walk.h"
#include "posix/write_all.h"
#include "signing/file_digest.h"

namespace hosttools {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kEntryStart = "\t\t<key>", kEntryMiddle = "</key><string>",
                           kEntryEnd = "</string>";
constexpr std::string_view kSignatureKey = "\t<key>signature</key>";
constexpr std::size_t kWriteBuffer = std::size_t{1} << 16;

constexpr std::pair<char, std::string_view> kEntities[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\n', "&#10;"}, {'\r', "&#13;"}};

// Newlines are escaped too, as each entry must stay on one line.
std::string escaped(std::string_view text) {
    if (text.find_first_of("&<>\n\r") == std::string_view::npos) return std::string(text);
    std::string out;
    for (char c : text) {
        std::string_view replacement(&c, 1);
        for (const auto& [plain, entity] : kEntities) {
            if (c == plain) replacement = entity;
        }
        out += replacement;
    }
    return out;
}

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        bool replaced = false;
        for (const auto& [plain, entity] : kEntities) {
            if (!replaced && text.substr(at, entity.size()) == entity) {
                out += plain;
                at += entity.size() - 1;
                replaced = true;
            }
        }
        if (!replaced) out += text[at];
    }
    return out;
}

// One entry per line, so that reading the seal back needs no full plist parser.
std::string entryLine(std::string_view key, std::string_view value) {
    return std::string(kEntryStart) + escaped(key) + std::string(kEntryMiddle) + escaped(value) +
           std::string(kEntryEnd) + "\n";
}

std::optional<SealEntry> parseEntryLine(std::string_view line) {
    if (!line.starts_with(kEntryStart) || !line.ends_with(kEntryEnd)) return std::nullopt;
    line.remove_prefix(kEntryStart.size());
    line.remove_suffix(kEntryEnd.size());
    const auto middle = line.find(kEntryMiddle);
    if (middle == std::string_view::npos) return std::nullopt;
    return SealEntry{unescaped(line.substr(0, middle)), unescaped(line.substr(middle + kEntryMiddle.size()))};
}

std::string boolText(bool value) {
    return value ? "yes" : "no";
}

void applySignatureEntry(SigningRecord& record, const SealEntry& entry) {
    if (entry.path == "identity") record.identity = entry.state;
    if (entry.path == "hardenedRuntime") record.hardenedRuntime = entry.state == "yes";
    if (entry.path == "timestamp") record.timestamp = entry.state == "yes";
    if (entry.path == "entitlements") record.entitlementsDigest = entry.state;
}

// The order a walk visits paths in: name by name, a folder before what it holds. As a string
// comparison, that is byte order with the separator below every other byte.
bool walkOrderLess(std::string_view a, std::string_view b) {
    const auto key = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    for (std::size_t at = 0; at < a.size() && at < b.size(); ++at) {
        if (a[at] != b[at]) return key(a[at]) < key(b[at]);
    }
    return a.size() < b.size();
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    const std::string& text = path.native();
    const std::string& prefix = folder.native();
    return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0 &&
           text[prefix.size()] == '/';
}

// `path` below `folder`, as the walk of `folder` spelled it.
std::string relativeText(const fs::path& path, const fs::path& folder) {
    const std::string& prefix = folder.native();
    const std::size_t skip = prefix.ends_with('/') ? prefix.size() : prefix.size() + 1;
    return path.native().substr(skip);
}

/// A seal file read line by line: its file entries first, then its signing record.
class SealFileReader {
public:
    explicit SealFileReader(const fs::path& file) : file_(file), stream_(file, std::ios::binary) {}

    bool exists() const { return static_cast<bool>(stream_); }

    std::optional<SealEntry> nextFile() {
        for (std::string line; !inSignature_ && std::getline(stream_, line);) {
            if (line == kSignatureKey)
                inSignature_ = true;
            else if (auto entry = parseEntryLine(line))
                return entry;
        }
        return std::nullopt;
    }

    SigningRecord record() {
        while (nextFile()) {}
        SigningRecord record;
        for (std::string line; std::getline(stream_, line);) {
            if (const auto entry = parseEntryLine(line)) applySignatureEntry(record, *entry);
        }
        if (record.identity.empty()) throw ToolFailure("", file_, ": the code signature is damaged.");
        return record;
    }

private:
    fs::path file_;
    std::ifstream stream_;
    bool inSignature_ = false;
};

/// Text written to a file in large pieces.
class BufferedWriter {
public:
    BufferedWriter(int fd, fs::path file) : fd_(fd), file_(std::move(file)) {}
    void add(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= kWriteBuffer) flush();
    }
    void flush() {
        posix::writeAll<ToolFailure>(fd_, buffer_, file_);
        buffer_.clear();
    }

private:
    int fd_;
    fs::path file_;
    std::string buffer_;
};

} // namespace

bool isBundleFolder(const fs::path& path, const struct stat& status) {
    return S_ISDIR(status.st_mode) && hasBundleExtension(path.filename());
}

BundleReader::BundleReader(fs::path top) : top_(std::move(top)) {}

void BundleReader::readContents(const fs::path& bundle, const std::function<void(const SealEntry&)>& visit) {
    const fs::path sealFolder = sealFile(bundle).parent_path(), ticket = ticketFile(bundle);
    // The bundle inside the top being walked through; its files are read again for the bundles around it.
    const bool atTop = bundle == top_;
    fs::path nestedBundle = atTop ? fs::path() : bundle;
    // The seal's folder and a stapled ticket are not part of what a bundle seals.
    // Compared as text: every path of the walk starts with the bundle's own.
    walkTree(bundle, [&](const TreeEntry& entry) {
        const fs::path& path = entry.path;
        const std::string& text = path.native();
        if (text == bundle.native() || text == sealFolder.native() || isWithin(path, sealFolder) ||
            text == ticket.native())
            return;
        if (atTop && !nestedBundle.empty() && !isWithin(path, nestedBundle)) nestedBundle.clear();
        if (nestedBundle.empty() && isBundleFolder(path, entry.status)) nestedBundle = path;
        const std::string relative = relativeText(path, bundle);
        if (S_ISLNK(entry.status.st_mode))
            visit({relative, "link:" + symlinkTarget(entry.folder, entry.name, path)});
        else if (S_ISDIR(entry.status.st_mode))
            visit({relative, "folder"});
        else
            visit({relative, "file:" + digestOf(entry, !nestedBundle.empty())});
    });
}

std::string BundleReader::digestOf(const TreeEntry& file, bool readAgain) {
    if (const auto known = nestedDigests_.find(file.path); known != nestedDigests_.end())
        return known->second;
    std::string digest = pagedDigestOfFile(file.folder, file.name, file.path);
    if (readAgain) nestedDigests_.emplace(file.path, digest);
    return digest;
}

fs::path sealFile(const fs::path& bundle) {
    // A Contents that is anything but a folder still holds the seal, so that
    // writing it there fails rather than lands elsewhere.
    const fs::path contents = bundle / "Contents";
    const fs::path base = fs::exists(fs::symlink_status(contents)) ? contents : bundle;
    return base / "_CodeSignature/CodeResources";
}

fs::path ticketFile(const fs::path& bundle) {
    return bundle / "Contents/CodeResources";
}

void writeSeal(const fs::path& bundle, const SigningRecord& record, BundleReader& reader) {
    const fs::path file = sealFile(bundle);
    openTargetFolder(file, /*createMissing=*/true); // a missing seal folder, never through a link
    PendingFile pending(file, "the code signature");
    BufferedWriter writer(pending.fd(), file);
    writer.add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n<dict>\n\t<key>files</key>\n\t<dict>\n");
    reader.readContents(bundle,
                        [&](const SealEntry& entry) { writer.add(entryLine(entry.path, entry.state)); });
    writer.add("\t</dict>\n" + std::string(kSignatureKey) + "\n\t<dict>\n");
    writer.add(entryLine("entitlements", record.entitlementsDigest));
    writer.add(entryLine("hardenedRuntime", boolText(record.hardenedRuntime)));
    writer.add(entryLine("identity", record.identity));
    writer.add(entryLine("timestamp", boolText(record.timestamp)));
    writer.add("\t</dict>\n</dict>\n</plist>\n");
    writer.flush();
    pending.commit();
}

std::optional<SigningRecord> readSigningRecord(const fs::path& bundle) {
    SealFileReader seal(sealFile(bundle));
    if (!seal.exists()) return std::nullopt;
    return seal.record();
}

std::optional<std::vector<std::string>> sealDifferences(const fs::path& bundle, BundleReader& reader) {
    SealFileReader seal(sealFile(bundle));
    if (!seal.exists()) return std::nullopt;
    std::vector<std::string> changed, added;
    // Both the seal and the walk list paths in walk order, so one pass over each finds every difference.
    std::optional<SealEntry> sealed = seal.nextFile();
    reader.readContents(bundle, [&](const SealEntry& now) {
        for (; sealed && walkOrderLess(sealed->path, now.path); sealed = seal.nextFile())
            changed.push_back("file missing: " + shownPath(bundle / sealed->path, bundle));
        if (!sealed || sealed->path != now.path)
            return added.push_back("file added: " + shownPath(bundle / now.path, bundle));
        if (sealed->state != now.state)
            changed.push_back("file modified: " + shownPath(bundle / now.path, bundle));
        sealed = seal.nextFile();
    });
    for (; sealed; sealed = seal.nextFile())
        changed.push_back("file missing: " + shownPath(bundle / sealed->path, bundle));
    seal.record();
    changed.insert(changed.end(), added.begin(), added.end());
    return changed;
}

} // namespace hosttools
