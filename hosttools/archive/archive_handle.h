#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <cctype>
#include <memory>
#include <string>

namespace hosttools {

struct ArchiveReaderFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
struct ArchiveWriterFree {
    void operator()(archive* writer) const { archive_write_free(writer); }
};
struct ArchiveEntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

/// libarchive handles that free themselves. Writers are closed explicitly
/// first, since only archive_write_close reports a late write error.
using ArchiveReader = std::unique_ptr<archive, ArchiveReaderFree>;
using ArchiveWriter = std::unique_ptr<archive, ArchiveWriterFree>;
using ArchiveEntry = std::unique_ptr<archive_entry, ArchiveEntryFree>;

/// libarchive's description of the last error on `handle`, without the line
/// feed some of its messages end in, so that it can stand inside a sentence.
inline std::string archiveError(archive* handle) {
    const char* message = archive_error_string(handle);
    std::string text = message != nullptr ? message : "unknown error";
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

} // namespace hosttools
