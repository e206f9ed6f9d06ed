#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <thread>
#include <utility>

namespace hosttools {

/// Runs jobs, a few at a time, and hands each result to `deliver` on the
/// caller's thread in the order the jobs were submitted: pieces compressed on
/// every core are written out in order while the next ones are being made.
/// At most `inFlight()` jobs (and the buffers they hold) exist at once. A
/// job's exception reaches the caller from the submit() or finish() that
/// delivers it; jobs still running are waited for on destruction.
template <typename Result>
class OrderedJobs {
public:
    explicit OrderedJobs(std::function<void(Result&)> deliver) : deliver_(std::move(deliver)) {}

    /// Runs `job` on a thread of its own.
    void submit(std::function<Result()> job) { push(std::launch::async, std::move(job)); }

    /// Runs `job` on the caller's thread when its turn comes: for work too small
    /// to be worth a thread.
    void submitHere(std::function<Result()> job) { push(std::launch::deferred, std::move(job)); }

    /// Delivers every result still outstanding.
    void finish() {
        while (!pending_.empty()) deliverOldest();
    }

    /// One job per core, and one more so that a core is not idle while the
    /// oldest result is being written. (Counted once: the C library reads the
    /// count from a file each time.)
    static std::size_t inFlight() {
        static const std::size_t count = std::max(2u, std::thread::hardware_concurrency()) + 1;
        return count;
    }

private:
    void push(std::launch policy, std::function<Result()> job) {
        if (pending_.size() >= inFlight()) deliverOldest();
        pending_.push_back(std::async(policy, std::move(job)));
    }

    void deliverOldest() {
        Result result = pending_.front().get();
        pending_.pop_front();
        deliver_(result);
    }

    std::function<void(Result&)> deliver_;
    std::deque<std::future<Result>> pending_;
};

} // namespace hosttools
