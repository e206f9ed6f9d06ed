#include "atomic_file.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNoTemporary) {
    TemporaryFolder folder;
    writeFile(folder / "package.json", std::string(10000, 'x'), 0600);
    writeFileAtomically(folder / "package.json", "{}\n");
    EXPECT_EQ(readFile(folder / "package.json"), "{}\n");
    EXPECT_EQ(testing::modeOf(folder / "package.json"), 0644u);
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"package.json"});
}

TEST(AtomicFile, AFailedReplaceKeepsTheTargetAndRemovesTheTemporary) {
    TemporaryFolder folder;
    writeFile(folder / "package.json/inner", "kept");
    EXPECT_THROW(writeFileAtomically(folder / "package.json", "{}"), fs::filesystem_error);
    EXPECT_EQ(readFile(folder / "package.json/inner"), "kept");
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"package.json"});
    EXPECT_THROW(writeFileAtomically(folder / "missing/package.json", "{}"), fs::filesystem_error);
}

} // namespace
} // namespace bundlekiln
