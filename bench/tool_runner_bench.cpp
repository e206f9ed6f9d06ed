// Times the tool runner collecting 100 MB of a tool's output against cat of
// the same bytes through a pipe (cat FILE | cat > /dev/null): medians of 5.
#include "tool_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double medianSeconds(const std::function<void()>& work) {
    std::vector<double> seconds;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[2];
}

} // namespace

int main() {
    char pattern[] = "/tmp/bundlekiln-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string file = std::string(pattern) + "/output.txt";
    {
        std::ofstream out(file, std::ios::binary);
        const std::string line = "a line of tool output, as a verbose tool prints them\n";
        for (std::size_t written = 0; written < 100'000'000; written += line.size()) out << line;
    }
    // An empty tool root runs tools by their own paths.
    setenv("BUNDLEKILN_TOOL_ROOT", "", 1);
    std::size_t bytes = 0;
    const double runner = medianSeconds([&] { bytes = bundlekiln::run("/bin/cat", {file}).size(); });
    const std::string pipeline = "cat '" + file + "' | cat > /dev/null";
    const double cat = medianSeconds([&] {
        if (std::system(pipeline.c_str()) != 0) std::exit(1);
    });
    std::printf("%-34s %8.3f s\n%-34s %8.3f s\n%-34s %8.2f (target <= 1.5)\n",
                "tool runner, 100 MB of output", runner, "cat FILE | cat > /dev/null", cat, "ratio",
                runner / cat);
    std::remove(file.c_str());
    rmdir(pattern);
    return bytes >= 100'000'000 ? 0 : 1;
}
