// A timing tool root for the benchmarks: installed under every tool's path,
// it runs the real tool of the same path under BENCH_REAL_TOOL_ROOT with the
// same arguments and appends "<path> <seconds> <peak KiB> <processor seconds>"
// to BENCH_TOOL_LOG. What the tool prints passes through untouched, so the
// build cannot tell.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

int main(int, char** argv) {
    const char* clockRoot = std::getenv("BENCH_CLOCK_ROOT");
    const char* realRoot = std::getenv("BENCH_REAL_TOOL_ROOT");
    const char* logPath = std::getenv("BENCH_TOOL_LOG");
    if (!clockRoot || !realRoot || !logPath ||
        std::strncmp(argv[0], clockRoot, std::strlen(clockRoot)) != 0) {
        std::fprintf(stderr,
                     "tool_clock: BENCH_CLOCK_ROOT, BENCH_REAL_TOOL_ROOT and BENCH_TOOL_LOG must be set\n");
        return 127;
    }
    const std::string tool = argv[0] + std::strlen(clockRoot);
    std::string real = realRoot + tool;
    argv[0] = real.data();
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, real.c_str(), nullptr, nullptr, argv, environ) != 0) return 127;
    int status = 0;
    struct rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {}
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (FILE* log = std::fopen(logPath, "a")) {
        const double processor = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        std::fprintf(log, "%s %.6f %ld %.6f\n", tool.c_str(), seconds, usage.ru_maxrss, processor);
        std::fclose(log);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
