#include "tool_runner.h"

#include "builder_error.h"
#include "interruption.h"
#include "posix/unique_fd.h"
#include "tool_root.h"
#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace bundlekiln {
namespace {

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

// The front end may ignore SIGPIPE for itself, and a build started from a
// background job inherits ignored stop signals; a tool gets the defaults back,
// as it would from a shell, so that a stop really ends it.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attributes_);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        // Its own process group lets a stop reach everything the tool started,
        // which would otherwise keep the output pipe open.
        posix_spawnattr_setpgroup(&attributes_, 0);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

std::vector<char*> argumentVector(const std::string& executable, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

pid_t spawnWithSharedPipe(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::optional<std::filesystem::path>& currentDirectory, int writeEnd) {
    SpawnActions actions;
    // One pipe for both streams keeps them in the order the tool wrote them.
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd, STDERR_FILENO);
    if (currentDirectory) posix_spawn_file_actions_addchdir_np(actions.get(), currentDirectory->c_str());
    SpawnAttributes attributes;
    auto argv = argumentVector(executable, arguments);
    pid_t child = 0;
    const int error =
        posix_spawn(&child, executable.c_str(), actions.get(), attributes.get(), argv.data(), environ);
    if (error != 0) throw std::system_error(error, std::generic_category(), "Could not start " + executable);
    return child;
}

// How long a tool may take to end after a stop before it is killed outright:
// long enough to remove its own partial output, short enough that a stop
// always ends the build within a second.
constexpr auto stopGrace = std::chrono::milliseconds(500);

// Once a stop was requested, a tool group that still holds the pipe open
// after the grace period is killed, so that a tool which ignores the stop
// cannot keep the build from ending.
class StopEnforcer {
public:
    explicit StopEnforcer(pid_t child) : child_(child) {}
    void check() {
        if (!interruptionRequested()) return;
        const auto now = std::chrono::steady_clock::now();
        if (!stopping_) stopSeen_ = now;
        stopping_ = true;
        if (now - stopSeen_ >= stopGrace) kill(-child_, SIGKILL);
    }

private:
    pid_t child_;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point stopSeen_;
};

void awaitReadable(int fd, StopEnforcer& stop) {
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 200) > 0) return;
        stop.check();
    }
}

// Large outputs live in memory that the kernel may back with huge pages: a
// page fault for every 4 KiB of a 100 MB result costs more than the copy.
void preferHugePages(void* data, std::size_t size) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// What a tool printed, collected in a mapping that mremap() grows in the
// page tables rather than by copying, and never zero-filled before it is
// read into.
class OutputBuffer {
public:
    OutputBuffer() = default;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    ~OutputBuffer() {
        if (data_) munmap(data_, capacity_);
    }

    // Room for `count` more bytes at the end.
    char* spare(std::size_t count) {
        if (capacity_ - size_ >= count) return data_ + size_;
        const std::size_t capacity = std::max(2 * capacity_, size_ + count);
        void* grown =
            data_ ? mremap(data_, capacity_, capacity, MREMAP_MAYMOVE)
                  : mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (grown == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<char*>(grown);
        capacity_ = capacity;
        preferHugePages(data_, capacity_);
        return data_ + size_;
    }
    void added(std::size_t count) { size_ += count; }
    std::string_view view() const { return {data_, size_}; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

std::string asString(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    preferHugePages(text.data(), bytes.size());
    text.append(bytes);
    return text;
}

// The pipe is read without blocking, straight into the buffer, and waited on
// only when it is empty: a tool that prints a lot costs little more than its
// bytes.
constexpr std::size_t readSize = 1 << 20;

void readToEnd(int fd, pid_t child, OutputBuffer& output) {
    StopEnforcer stop(child);
    for (;;) {
        stop.check();
        const ssize_t count = ::read(fd, output.spare(readSize), readSize);
        if (count == 0) return;
        if (count > 0) {
            output.added(static_cast<std::size_t>(count));
            continue;
        }
        if (errno == EAGAIN)
            awaitReadable(fd, stop);
        else if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "Could not read tool output");
    }
}

// A failure's text ends a line of the front end's output, which adds the
// line break itself. (Text of line breaks alone becomes empty: npos + 1 is 0.)
std::string withoutTrailingLineBreaks(std::string text) {
    text.erase(text.find_last_not_of("\r\n") + 1);
    return text;
}

int waitForExit(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    return status;
}

} // namespace

std::string run(const std::string& tool, const std::vector<std::string>& arguments,
                const std::optional<std::filesystem::path>& currentDirectory) {
    throwIfInterrupted();
    const std::string executable = resolveTool(tool);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "Could not create a pipe");
    posix::UniqueFd readEnd(ends[0]);
    posix::UniqueFd writeEnd(ends[1]);
    // A larger pipe lets a talkative tool write on while the output is copied.
    fcntl(readEnd.get(), F_SETPIPE_SZ, static_cast<int>(readSize));
    fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);
    const pid_t child = spawnWithSharedPipe(executable, arguments, currentDirectory, writeEnd.get());
    setRunningChild(child);
    writeEnd.close();
    // Read before waiting: a tool that writes more than the pipe holds would
    // otherwise block for ever on a parent that waits for it.
    OutputBuffer bytes;
    try {
        readToEnd(readEnd.get(), child, bytes);
    } catch (...) {
        waitForExit(child);
        setRunningChild(0);
        throw;
    }
    const int status = waitForExit(child);
    setRunningChild(0);
    throwIfInterrupted();
    const std::string text = isValidUTF8(bytes.view()) ? asString(bytes.view()) : std::string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return text;
    const std::string failure = withoutTrailingLineBreaks(text);
    throw BuilderError(failure.empty() ? "Command failed: " + executable : failure);
}

void runIgnoringFailure(const std::string& tool, const std::vector<std::string>& arguments) {
    try {
        run(tool, arguments);
    } catch (const BuilderError&) {
    } catch (const std::system_error&) {}
}

} // namespace bundlekiln
