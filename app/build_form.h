#pragma once

#include "build_options.h"
#include "form_settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace bundlekiln::app {

/// "arm64" for the architecture pop-up's first item, "x64" for any other.
std::string architectureName(std::int64_t index);

/// Why the form cannot be built yet, checked in this order and stopping at the
/// first: a project, runtime or output missing; a width or height that is not
/// a whole number; signing without an identity; notarizing without a profile.
/// None when the engine may take over; it checks everything else.
std::optional<std::string> buildRefusal(const FormValues& form);

/// The build record of a form that `buildRefusal` accepted. Texts are read
/// trimmed; an identity or profile whose checkbox is off is not used.
BuildOptions buildOptions(const FormValues& form);

} // namespace bundlekiln::app
