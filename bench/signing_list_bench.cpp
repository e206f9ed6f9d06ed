// Times the Developer ID signing-list collection over a generated bundle of
// 10,000 files: it reads four bytes of each regular file and sorts by depth.
#include "signing_list.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

// Nested bundles, a few hundred Mach-O files and many small resources, like a runtime.
std::size_t makeBundle(const fs::path& app) {
    const std::string machO = std::string("\xCF\xFA\xED\xFE", 4) + std::string(60, '\0');
    std::size_t files = 0;
    for (int helper = 0; helper < 20; ++helper) {
        const fs::path nested = app / "Contents/Frameworks/X.framework/Versions/A/Helpers" /
                                ("Helper " + std::to_string(helper) + ".app") / "Contents";
        writeFile(nested / "MacOS/helper", machO);
        ++files;
        for (int resource = 0; resource < 45; ++resource, ++files)
            writeFile(nested / "Resources" / ("r" + std::to_string(resource) + ".txt"), "resource");
    }
    for (int library = 0; library < 280; ++library, ++files)
        writeFile(app / "Contents/Frameworks/X.framework/Versions/A/Libraries" /
                      ("lib" + std::to_string(library) + ".dylib"),
                  machO);
    for (int locale = 0; files < 10000; ++locale) {
        const fs::path folder = app / "Contents/Resources" / ("l" + std::to_string(locale) + ".lproj");
        for (int strings = 0; strings < 100 && files < 10000; ++strings, ++files)
            writeFile(folder / ("s" + std::to_string(strings) + ".strings"), "\"key\" = \"value\";");
    }
    return files;
}

} // namespace

int main() {
    char pattern[] = "/tmp/bundlekiln-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path folder = pattern;
    const std::size_t files = makeBundle(folder / "Bench.app");
    std::vector<double> milliseconds;
    std::size_t items = 0;
    for (int run = 0; run < 9; ++run) {
        const auto start = std::chrono::steady_clock::now();
        items = bundlekiln::signingList(folder / "Bench.app").size();
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("signing list: %zu files, %zu items, median %.1f ms, fastest %.1f ms (9 runs, warm cache)\n",
                files, items, milliseconds[4], milliseconds[0]);
    fs::remove_all(folder);
    return 0;
}
