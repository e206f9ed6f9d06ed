// sips -z resamples for real: sizes, area averaging down, smooth growth up,
// transparency kept, every PNG variant read, and damaged input refused
// without leaving an output behind.

#include <gtest/gtest.h>

#include <cstdlib>

#include "png_fixture.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

class Sips : public testing::Test {
protected:
    /// Writes `picture` as in.png, resizes it to width x height and decodes the result.
    Picture resized(const Picture& picture, std::uint32_t width, std::uint32_t height,
                    PngLayout layout = {}) {
        writeFile(folder / "in.png", encodeTestPng(picture, layout));
        const auto result =
            runTool("sips", {"-z", std::to_string(height), std::to_string(width),
                             (folder / "in.png").string(), "--out", (folder / "out.png").string()});
        EXPECT_EQ(result.status, 0) << result.err;
        return decodeTestPng(folder / "out.png");
    }

    ProcessResult resizeFile(const std::string& contents) {
        writeFile(folder / "in.png", contents);
        return runTool(
            "sips", {"-z", "16", "16", (folder / "in.png").string(), "--out", (folder / "out.png").string()});
    }

    TempFolder folder;
};

TEST_F(Sips, ShrinkingAveragesEveryCoveredPixel) {
    const auto checker = paint(64, 64, [](auto x, auto y) { return (x + y) % 2 ? kWhite : kBlack; });
    const auto small = resized(checker, 16, 8);
    ASSERT_EQ(small.width, 16u);
    ASSERT_EQ(small.height, 8u);
    // Nearest-neighbour sampling would give pure black or white here.
    for (const Rgba& p : small.pixels) {
        EXPECT_NEAR(p.r, 128, 1);
        EXPECT_EQ(p.a, 255);
    }
}

TEST_F(Sips, GrowingInterpolatesBetweenTheOriginalPixels) {
    const auto halves = paint(2, 2, [](auto x, auto) { return x == 0 ? kBlack : kWhite; });
    const auto large = resized(halves, 8, 8);
    ASSERT_EQ(large.width, 8u);
    EXPECT_EQ(large.at(0, 0), kBlack);
    EXPECT_EQ(large.at(7, 7), kWhite);
    for (std::uint32_t x = 1; x < 8; ++x) EXPECT_GE(large.at(x, 3).r, large.at(x - 1, 3).r);
    EXPECT_GT(large.at(4, 3).r, 0);
    EXPECT_LT(large.at(3, 3).r, 255);
}

TEST_F(Sips, TransparentPixelsLendNoColourToTheirNeighbours) {
    const auto half = paint(4, 4, [](auto x, auto) {
        return x < 2 ? Rgba{255, 0, 0, 0} : Rgba{0, 0, 255, 255};
    });
    const auto one = resized(half, 1, 1);
    EXPECT_EQ(one.at(0, 0).r, 0);
    EXPECT_EQ(one.at(0, 0).b, 255);
    EXPECT_NEAR(one.at(0, 0).a, 128, 1);
}

TEST_F(Sips, GreySixteenBitInterlacedImagesAreRead) {
    const auto grey = paint(33, 33, [](auto x, auto) { return Rgba{std::uint8_t(x * 7), 0, 0, 255}; });
    const auto out = resized(grey, 33, 33, {.grey16 = true, .interlaced = true});
    for (std::uint32_t x = 0; x < 33; ++x) {
        EXPECT_EQ(out.at(x, 10).r, x * 7);
        EXPECT_EQ(out.at(x, 10).g, x * 7);
    }
}

TEST_F(Sips, DamagedOrOversizedImagesFailAndWriteNothing) {
    const std::string good = encodeTestPng(paint(64, 64, [](auto, auto) { return kWhite; }));
    const std::pair<std::string, std::string> cases[] = {
        {"not an image", "not a PNG image"},
        {good.substr(0, good.size() / 2), "cannot be read"},
        {headerOnlyPng(1000000, 1000000), "cannot be read"},
    };
    for (const auto& [contents, reason] : cases) {
        const auto result = resizeFile(contents);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));
    }
}

TEST_F(Sips, OtherArgumentFormsAreRefused) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"-z", "16", "16", "in.png"},
                                               {"-Z", "16", "16", "a", "--out", "b"},
                                               {"-z", "0", "16", "a", "--out", "b"},
                                               {"-z", "16", "x", "a", "--out", "b"},
                                               {"-z", "16", "99999", "a", "--out", "b"}}) {
        EXPECT_EQ(runTool("sips", arguments).status, 64);
    }
}

} // namespace
} // namespace hosttools_test
