#include "common/pending_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/confined_folder.h"
#include "common/tool_failure.h"
#include "posix/file_error.h"
#include "posix/write_all.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char kTemporaryPrefix[] = ".pending-";
constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kNameAttempts = 100;

// The handler may only touch what is ready before it can run, hence a fixed
// buffer, a descriptor and a flag rather than the PendingFile itself.
char gTemporaryName[32];
volatile sig_atomic_t gTemporaryFolder = -1;
volatile sig_atomic_t gHasTemporary = 0;

void removeTemporaryAndDie(int signal) {
    if (gHasTemporary) ::unlinkat(gTemporaryFolder, gTemporaryName, 0);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void installCleanupHandlers() {
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : kCleanupSignals) ::sigaction(signal, &action, nullptr);
}

sigset_t cleanupSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kCleanupSignals) sigaddset(&set, signal);
    return set;
}

/// Runs `body` with the cleanup signals held back, so the handler never sees
/// a file that exists but is not yet recorded, or the reverse.
template <typename Body>
void withCleanupSignalsBlocked(Body body) {
    const sigset_t set = cleanupSignalSet();
    sigset_t previous;
    ::sigprocmask(SIG_BLOCK, &set, &previous);
    body();
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
}

std::string randomTemporaryName(const fs::path& target) {
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, 0) != sizeof bytes)
        throwErrno("Could not name a temporary file beside", target);
    std::string name = kTemporaryPrefix;
    for (const unsigned char byte : bytes) name += kNameLetters[byte % (sizeof kNameLetters - 1)];
    return name;
}

} // namespace

PendingFile::PendingFile(const fs::path& target, std::string noun)
    : target_(target), noun_(std::move(noun)), folder_(openTargetFolder(target)) {
    // Known now rather than at the rename, after the whole file was written.
    if (target.filename().native().size() > NAME_MAX)
        posix::throwFileError<ToolFailure>("Could not create " + noun_, target, ENAMETOOLONG);
    installCleanupHandlers();
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        const std::string name = randomTemporaryName(target);
        error = 0;
        withCleanupSignalsBlocked([&] {
            // O_EXCL: an entry already there, a link included, is never opened.
            fd_ = posix::UniqueFd(
                ::openat(folder_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!fd_.valid()) return void(error = errno);
            std::memcpy(gTemporaryName, name.c_str(), name.size() + 1);
            gTemporaryFolder = folder_.get();
            gHasTemporary = 1;
        });
        if (error == 0) temporaryName_ = name;
    }
    if (error != 0) posix::throwFileError<ToolFailure>("Could not create " + noun_, target, error);
}

PendingFile::~PendingFile() {
    withCleanupSignalsBlocked([&] {
        if (!temporaryName_.empty()) ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
        gHasTemporary = 0;
    });
}

void PendingFile::commit() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_.get(), 0666 & ~mask) != 0 || fd_.close() != 0) throwErrno("Could not write", target_);
    const std::string finalName = target_.filename().string();
    int error = 0;
    withCleanupSignalsBlocked([&] {
        if (::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(), finalName.c_str()) != 0)
            return void(error = errno);
        temporaryName_.clear();
        gHasTemporary = 0;
    });
    if (error != 0) posix::throwFileError<ToolFailure>("Could not create " + noun_, target_, error);
}

void writeWholeFile(const fs::path& target, std::string_view contents, std::string noun) {
    PendingFile file(target, std::move(noun));
    posix::writeAll<ToolFailure>(file.fd(), contents, target);
    file.commit();
}

} // namespace hosttools
