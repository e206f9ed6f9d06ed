#pragma once

#include <stdexcept>
#include <sys/types.h>

namespace bundlekiln {

/// Thrown out of a build that was asked to stop, so that every folder the
/// build owns is removed on the way out before the front end ends the process.
class BuildInterrupted : public std::runtime_error {
public:
    explicit BuildInterrupted(int signal) : std::runtime_error("Interrupted"), signal(signal) {}
    const int signal;
};

/// Asks the running build to stop at its next check. Safe in a signal handler:
/// it only sets a flag and forwards the signal to the tool that runs now.
void requestInterruption(int signal) noexcept;

/// Throws BuildInterrupted when a stop was requested.
void throwIfInterrupted();

/// Whether a stop was requested.
bool interruptionRequested() noexcept;

/// The tool runner registers its child, the leader of its own process group,
/// here so that a stop reaches the whole group; 0 when none runs.
void setRunningChild(pid_t child) noexcept;

} // namespace bundlekiln
