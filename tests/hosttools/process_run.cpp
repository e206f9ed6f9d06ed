#include "process_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

extern char** environ;

namespace hosttools_test {
namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File temporaryFile() {
    File file(std::tmpfile(), std::fclose);
    if (!file) throw std::runtime_error("tmpfile failed");
    return file;
}

std::string contentsOf(FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    while (const auto got = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, got);
    return text;
}

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv) {
    // Both streams go to files rather than pipes, so no amount of output can
    // block the child while the test waits for it.
    const File out = temporaryFile();
    const File err = temporaryFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), STDERR_FILENO);
    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t child = 0;
    const int failed =
        ::posix_spawn(&child, argv.at(0).c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("could not start " + argv[0]);
    ProcessResult result;
    result.status = waitFor(child);
    result.out = contentsOf(out.get());
    result.err = contentsOf(err.get());
    return result;
}

ProcessResult runTool(const std::string& tool, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{std::string(HOSTTOOLS_TOOL_ROOT) + "/usr/bin/" + tool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv);
}

} // namespace hosttools_test
