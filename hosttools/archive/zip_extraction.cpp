#include "archive/zip_extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "archive/archive_handle.h"
#include "common/nesting_limit.h"
#include "common/tool_failure.h"
#include "posix/unique_fd.h"

namespace hosttools {

std::uintmax_t ExpansionLimit::forArchiveOf(std::uintmax_t archiveSize) const {
    const std::uintmax_t most = std::numeric_limits<std::uintmax_t>::max();
    return std::max(floor, archiveSize > most / multiple ? most : archiveSize * multiple);
}

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBlockSize = 64 * 1024;

// Entry names are made relative to the working folder, which is the target;
// the secure flags then keep every entry inside it.
constexpr int kExtractFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                              ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

struct ArchiveFile {
    posix::UniqueFd fd;
    std::uintmax_t size;
};

ArchiveFile openArchiveFile(const fs::path& archivePath) {
    // O_NONBLOCK so that a FIFO given by mistake is refused instead of hanging.
    posix::UniqueFd fd(::open(archivePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) throwErrno("Could not open the archive", archivePath);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) throwErrno("Could not read the archive", archivePath);
    if (!S_ISREG(status.st_mode))
        throw ToolFailure("The archive " + archivePath.string() + " is not a regular file.");
    return {std::move(fd), static_cast<std::uintmax_t>(status.st_size)};
}

[[noreturn]] void throwUnreadable(const fs::path& archivePath, archive* reader) {
    throw ToolFailure("Could not read the archive " + archivePath.string() + ": " + archiveError(reader) +
                      ".");
}

/// A reader from the start of `fd`. It takes the entries from the central
/// directory, so an archive cut off before its end is refused as a whole
/// rather than read as far as it goes.
ArchiveReader openZipReader(int fd, const fs::path& archivePath) {
    if (::lseek(fd, 0, SEEK_SET) != 0) throwErrno("Could not read the archive", archivePath);
    ArchiveReader reader(archive_read_new());
    archive_read_support_format_zip_seekable(reader.get());
    if (archive_read_open_fd(reader.get(), fd, kReadBlockSize) != ARCHIVE_OK)
        throwUnreadable(archivePath, reader.get());
    return reader;
}

/// Moves `entry` to the next entry; false at the end of the archive.
bool nextEntry(archive* reader, archive_entry*& entry, const fs::path& archivePath) {
    const int status = archive_read_next_header(reader, &entry);
    if (status == ARCHIVE_EOF) return false;
    if (status != ARCHIVE_OK) throwUnreadable(archivePath, reader);
    return true;
}

std::uintmax_t saturatingSum(std::uintmax_t a, std::uintmax_t b) {
    return b > std::numeric_limits<std::uintmax_t>::max() - a ? std::numeric_limits<std::uintmax_t>::max()
                                                              : a + b;
}

std::string entryName(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    return name != nullptr ? name : "";
}

/// A very long name as a message shows it: by its first folder (shownPath).
std::string shownName(archive_entry* entry) {
    const fs::path name = entryName(entry);
    return name.empty() ? std::string() : shownPath(name, *name.begin());
}

/// How many folders deep an entry lies: the folders its name passes through,
/// and the entry itself when it is a folder.
std::size_t nestingOf(archive_entry* entry) {
    const std::string name = entryName(entry);
    std::size_t folders = 0;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view component(name.data() + start, end - start);
        if (!component.empty() && component != ".") ++folders;
        start = end + 1;
    }
    const bool isFolder = archive_entry_filetype(entry) == AE_IFDIR;
    return isFolder || folders == 0 ? folders : folders - 1;
}

/// Reads the central directory and no entry's data: refuses an entry nested
/// deeper than kMaximumNesting, and returns what the entries declare they
/// unpack to, added up.
std::uintmax_t surveyEntries(int fd, const fs::path& archivePath) {
    const ArchiveReader reader = openZipReader(fd, archivePath);
    std::uintmax_t total = 0;
    archive_entry* entry = nullptr;
    while (nextEntry(reader.get(), entry, archivePath)) {
        if (nestingOf(entry) > kMaximumNesting) throwTooDeep("archive", archivePath);
        if (!archive_entry_size_is_set(entry)) continue;
        const la_int64_t size = archive_entry_size(entry);
        total = saturatingSum(total, size < 0 ? std::numeric_limits<std::uintmax_t>::max() : size);
    }
    return total;
}

std::string allowance(std::uintmax_t allowed) {
    return "the " + std::to_string(allowed) + " bytes allowed for an archive of its size";
}

void enterDirectory(const fs::path& directory) {
    std::error_code error;
    fs::create_directories(directory, error);
    if (error)
        throw ToolFailure("Could not create the folder " + directory.string() + ": " + error.message() + ".");
    if (::chdir(directory.c_str()) != 0) throwErrno("Could not enter the folder", directory);
}

/// One archive's entries written to disk, counting the bytes against what
/// the archive may unpack to.
class Extraction {
public:
    Extraction(archive* reader, archive* writer, const fs::path& archivePath, std::uintmax_t allowed)
        : reader_(reader), writer_(writer), archivePath_(archivePath), allowed_(allowed) {}

    void extractEntry(archive_entry* entry) {
        // Extracted by root, an entry keeping these bits would be a program that
        // runs as root for whoever starts it; no runtime needs them.
        archive_entry_set_perm(entry, archive_entry_perm(entry) & ~(S_ISUID | S_ISGID));
        if (archive_write_header(writer_, entry) != ARCHIVE_OK)
            throwEntryFailure("Refused to extract", entry, writer_);
        copyEntryData(entry);
        if (archive_write_finish_entry(writer_) != ARCHIVE_OK)
            throwEntryFailure("Could not finish", entry, writer_);
    }

private:
    /// Reports a failed entry with the reason libarchive gives on `handle`.
    [[noreturn]] void throwEntryFailure(const std::string& what, archive_entry* entry,
                                        archive* handle) const {
        throw ToolFailure(what + " the entry '" + shownName(entry) + "' of the archive " +
                          archivePath_.string() + ": " + archiveError(handle) + ".");
    }

    void copyEntryData(archive_entry* entry) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        while (true) {
            const int status = archive_read_data_block(reader_, &block, &size, &offset);
            if (status == ARCHIVE_EOF) return;
            if (status != ARCHIVE_OK) throwEntryFailure("Could not read", entry, reader_);
            countWritten(size, entry);
            if (archive_write_data_block(writer_, block, size, offset) != ARCHIVE_OK) {
                throwEntryFailure("Could not write", entry, writer_);
            }
        }
    }

    // Checked before the block is written, so the disk never holds more than allowed.
    void countWritten(std::size_t size, archive_entry* entry) {
        written_ = saturatingSum(written_, size);
        if (written_ <= allowed_) return;
        throw ToolFailure(
            "Stopped extracting the archive " + archivePath_.string() + " at the entry '" + shownName(entry) +
            "': its entries unpack to more than they declare and more than " + allowance(allowed_) + ".");
    }

    archive* reader_;
    archive* writer_;
    const fs::path& archivePath_;
    std::uintmax_t allowed_;
    std::uintmax_t written_ = 0;
};

} // namespace

void extractZip(const fs::path& archivePath, const fs::path& directory, const ExpansionLimit& limit) {
    const ArchiveFile file = openArchiveFile(archivePath);
    const std::uintmax_t allowed = limit.forArchiveOf(file.size);
    const std::uintmax_t declared = surveyEntries(file.fd.get(), archivePath);
    if (declared > allowed) {
        throw ToolFailure("Refused to extract the archive " + archivePath.string() +
                          ": its entries declare " + std::to_string(declared) + " bytes in all, more than " +
                          allowance(allowed) + ".");
    }
    const ArchiveReader reader = openZipReader(file.fd.get(), archivePath);
    const ArchiveWriter writer(archive_write_disk_new());
    archive_write_disk_set_options(writer.get(), kExtractFlags);
    enterDirectory(directory);
    Extraction extraction(reader.get(), writer.get(), archivePath, allowed);
    archive_entry* entry = nullptr;
    while (nextEntry(reader.get(), entry, archivePath)) extraction.extractEntry(entry);
    // Folder times and modes are applied here, after their contents.
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        throw ToolFailure("Could not finish extracting " + archivePath.string() + ": " +
                          archiveError(writer.get()) + ".");
    }
}

} // namespace hosttools
