// The expansion limit is a multiple of the archive's size above a floor. The
// tool's own numbers are too large to reach in a test, so the extraction runs
// here in process with small ones.

#include <gtest/gtest.h>

#include <random>

#include "archive/zip_creation.h"
#include "archive/zip_extraction.h"
#include "common/tool_failure.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using bundlekiln::testing::TemporaryFolder;
using bundlekiln::testing::writeFile;

TEST(ZipExtractionLimit, AllowsAMultipleOfTheArchiveSizeAboveTheFloor) {
    TemporaryFolder folder;
    std::mt19937 generator(7);
    std::string noise(200'000, '\0');
    for (auto& byte : noise) byte = static_cast<char>(generator());
    writeFile(folder / "noise/data", noise);
    writeFile(folder / "zeros/data", std::string(200'000, '\0'));
    hosttools::createZip(folder / "noise", folder / "noise.zip");
    hosttools::createZip(folder / "zeros", folder / "zeros.zip");
    const auto working = fs::current_path(); // extraction enters the target
    const hosttools::ExpansionLimit limit{1000, 4};
    EXPECT_NO_THROW(hosttools::extractZip(folder / "noise.zip", folder / "out", limit));
    EXPECT_EQ(fs::file_size(folder / "out/noise/data"), 200'000u);
    EXPECT_THROW(hosttools::extractZip(folder / "zeros.zip", folder / "out", limit), hosttools::ToolFailure);
    EXPECT_FALSE(fs::exists(folder / "out/zeros"));
    fs::current_path(working);
}

} // namespace
