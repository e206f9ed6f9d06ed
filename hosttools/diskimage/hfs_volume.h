#pragma once

#include <filesystem>
#include <string>

#include "diskimage/byte_sink.h"

namespace hosttools {

/// Writes an HFS Plus volume (its case-sensitive form, whose catalog orders
/// names by their UTF-16 units) named `volumeName` whose root folder holds
/// `source` under its own name, with modes, owners, dates and symlinks kept.
/// The volume goes to `sink` block by block, file contents streamed, so
/// memory grows with the number of entries but not with their size. Throws
/// ToolFailure naming the path when the source cannot be read or changes
/// size while it is copied.
void writeHfsVolume(const std::filesystem::path& source, const std::string& volumeName, ByteSink& sink);

} // namespace hosttools
