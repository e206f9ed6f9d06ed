#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace bundlekiln::app {

/// Brings SIGINT and SIGTERM to the main thread's event loop while it exists.
/// The handler only writes the signal's number to a pipe (the self-pipe
/// trick), so that it stays async-signal-safe; `stop` then runs on the main
/// thread with that number, once for each signal. Going away restores the
/// actions the signals had before.
class StopSignals {
public:
    /// Throws std::system_error when the pipe cannot be made.
    explicit StopSignals(std::function<void(int signal)> stop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void deliver();

    std::function<void(int)> stop_;
    int readEnd_ = -1;
    /// The actions of SIGINT and SIGTERM before, in that order.
    struct sigaction previous_[2];
    std::unique_ptr<QSocketNotifier> notifier_;
};

/// Ends the process as `signal` would have ended it: its default action, or
/// status 128 + `signal` when that action does not end the process.
[[noreturn]] void endBySignal(int signal);

} // namespace bundlekiln::app
