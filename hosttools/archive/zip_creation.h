#pragma once

#include <filesystem>

namespace hosttools {

/// Writes a deflated PKZip archive whose single top-level entry is the last
/// name of `source`, holding everything below it: symlinks stored as symlinks
/// (never followed), unix modes and modification times kept, files streamed.
/// The archive appears under its name only when complete; an existing one is
/// replaced. Throws ToolFailure naming the path when the source is missing,
/// holds a device, socket or FIFO, or the archive would lie inside the source.
void createZip(const std::filesystem::path& source, const std::filesystem::path& archive);

} // namespace hosttools
