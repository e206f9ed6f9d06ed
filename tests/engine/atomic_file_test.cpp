#include "atomic_file.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::writeFile;

// No temporary file is left beside the target, whether the replacement
// succeeds or fails; a failed one leaves the target as it was.
TEST(AtomicFile, ReplacesTheWholeFileOrNothing) {
    testing::TemporaryFolder folder;
    const auto entries = [&] { return std::vector<fs::path>(fs::directory_iterator(folder.path()), {}); };
    writeFile(folder / "package.json", std::string(10000, 'x'), 0600);
    writeFileAtomically(folder / "package.json", "{}\n");
    EXPECT_EQ(readFile(folder / "package.json"), "{}\n");
    EXPECT_EQ(testing::modeOf(folder / "package.json"), 0644u);
    EXPECT_EQ(entries(), std::vector<fs::path>{folder / "package.json"});
    fs::remove(folder / "package.json");
    writeFile(folder / "package.json/inner", "kept");
    EXPECT_THROW(writeFileAtomically(folder / "package.json", "{}"), fs::filesystem_error);
    EXPECT_EQ(readFile(folder / "package.json/inner"), "kept");
    EXPECT_EQ(entries(), std::vector<fs::path>{folder / "package.json"});
    EXPECT_THROW(writeFileAtomically(folder / "missing/package.json", "{}"), fs::filesystem_error);
}

} // namespace
} // namespace bundlekiln
