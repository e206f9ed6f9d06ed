#include "stop_signals.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace bundlekiln::app {
namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM};

// The handler's only state; -1 while no StopSignals exists.
std::atomic<int> writeEnd{-1};

void writeToPipe(int signal) {
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe already holds a stop, so a byte that does not fit is not missed.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &number, 1);
    errno = savedErrno;
}

void catchStopSignals(struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = writeToPipe;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t index = 0; index < std::size(stopSignals); ++index)
        sigaction(stopSignals[index], &action, &previous[index]);
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> stop) : stop_(std::move(stop)) {
    int ends[2];
    // Non-blocking, so that the handler never waits on a pipe the loop has not emptied.
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "Could not create a pipe");
    readEnd_ = ends[0];
    writeEnd.store(ends[1]);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { deliver(); });
    catchStopSignals(previous_);
}

StopSignals::~StopSignals() {
    for (std::size_t index = 0; index < std::size(stopSignals); ++index)
        sigaction(stopSignals[index], &previous_[index], nullptr);
    notifier_.reset();
    ::close(writeEnd.exchange(-1));
    ::close(readEnd_);
}

void StopSignals::deliver() {
    unsigned char numbers[16];
    const ssize_t count = ::read(readEnd_, numbers, sizeof numbers);
    for (ssize_t index = 0; index < count; ++index) stop_(numbers[index]);
}

void endBySignal(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace bundlekiln::app
