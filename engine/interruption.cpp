#include "interruption.h"

#include <atomic>
#include <csignal>

namespace bundlekiln {
namespace {

std::atomic<int> requestedSignal{0};
std::atomic<pid_t> runningChild{0};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "the flags are touched from signal handlers");

} // namespace

void requestInterruption(int signal) noexcept {
    requestedSignal.store(signal);
    if (const pid_t child = runningChild.load(); child > 0) kill(-child, signal);
}

bool interruptionRequested() noexcept {
    return requestedSignal.load() != 0;
}

void throwIfInterrupted() {
    if (const int signal = requestedSignal.load(); signal != 0) throw BuildInterrupted(signal);
}

void setRunningChild(pid_t child) noexcept {
    runningChild.store(child);
    // A stop that arrived between the start and this registration still reaches the child.
    if (const int signal = requestedSignal.load(); signal != 0 && child > 0) kill(-child, signal);
}

} // namespace bundlekiln
