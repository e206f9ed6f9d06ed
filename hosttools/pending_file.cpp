#include "pending_file.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool_failure.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler may only touch what is ready before it can run, hence a fixed
// buffer and a flag rather than the PendingFile itself.
char gTemporaryPath[PATH_MAX];
volatile sig_atomic_t gHasTemporary = 0;

void removeTemporaryAndDie(int signal) {
  if (gHasTemporary) ::unlink(gTemporaryPath);
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

[[noreturn]] void throwError(const std::string& action, const fs::path& path, int error) {
  errno = error;
  throwErrno(action, path);
}

}  // namespace

PendingFile::PendingFile(const fs::path& target, std::string noun) : target_(target), noun_(std::move(noun)) {
  std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  if (pattern.size() >= sizeof gTemporaryPath) {
    throw ToolFailure("Could not create " + noun_ + " " + target.string() + ": the path is too long.");
  }
  installCleanupHandlers();
  int error = 0;
  withCleanupSignalsBlocked([&] {
    fd_ = UniqueFd(::mkstemp(pattern.data()));
    if (!fd_.valid()) return void(error = errno);
    std::memcpy(gTemporaryPath, pattern.c_str(), pattern.size() + 1);
    gHasTemporary = 1;
  });
  if (error != 0) throwError("Could not create " + noun_, target, error);
  temporary_ = pattern;
}

PendingFile::~PendingFile() {
  withCleanupSignalsBlocked([&] {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    gHasTemporary = 0;
  });
}

void PendingFile::commit() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd_.get(), 0666 & ~mask) != 0 || fd_.close() != 0) throwErrno("Could not write", target_);
  int error = 0;
  withCleanupSignalsBlocked([&] {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return void(error = errno);
    temporary_.clear();
    gHasTemporary = 0;
  });
  if (error != 0) throwError("Could not create " + noun_, target_, error);
}

}  // namespace hosttools
