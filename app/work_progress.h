#pragma once

#include "build_options.h"

#include <cstdint>
#include <string>

namespace bundlekiln::app {

/// The stages a build of `options` passes before it reports "Finished: ":
/// preparing the runtime, adding the project and signing, then notarizing,
/// zipping and making the disk image when the record asks for them. The
/// engine reports one progress message as each stage begins.
int buildStageCount(const BuildOptions& options);

/// Whole percent of `received` out of a positive `total`, at most 100.
int transferPercent(std::int64_t received, std::int64_t total);

/// A download's bytes so far in megabytes: "12.3 MB of 135.0 MB (9%)", or
/// "12.3 MB" while the total is unknown (not positive).
std::string transferText(std::int64_t received, std::int64_t total);

} // namespace bundlekiln::app
