#pragma once

#include <stdexcept>
#include <string>

namespace bundlekiln {

/// The one error the engine throws for failures it detects itself. Its text is
/// the complete sentence shown to the user, with no prefix and no code; errors
/// of the platform (file system, process start, parsers) pass through as they
/// are instead.
class BuilderError : public std::runtime_error {
public:
    explicit BuilderError(const std::string& message) : std::runtime_error(message) {}

    std::string message() const { return what(); }
};

} // namespace bundlekiln
