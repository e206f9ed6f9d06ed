// iconutil -c icns writes an .icns that icns2png reads, with the set's PNG
// files as members under the type code of each size, and refuses sets it
// could only half compile.

#include <gtest/gtest.h>

#include <array>

#include "png_fixture.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

struct Slot {
    const char* name;
    std::uint32_t pixels;
    const char* type;
};

constexpr std::array<Slot, 10> kSlots{{
    {"icon_16x16.png", 16, "icp4"},
    {"icon_16x16@2x.png", 32, "ic11"},
    {"icon_32x32.png", 32, "icp5"},
    {"icon_32x32@2x.png", 64, "ic12"},
    {"icon_128x128.png", 128, "ic07"},
    {"icon_128x128@2x.png", 256, "ic13"},
    {"icon_256x256.png", 256, "ic08"},
    {"icon_256x256@2x.png", 512, "ic14"},
    {"icon_512x512.png", 512, "ic09"},
    {"icon_512x512@2x.png", 1024, "ic10"},
}};

std::string squarePng(std::uint32_t pixels) {
    return encodeTestPng(paint(pixels, pixels, [](auto x, auto y) {
        return Rgba{std::uint8_t(x), std::uint8_t(y), 90, 255};
    }));
}

std::uint32_t bigEndianAt(const std::string& data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

class Iconutil : public testing::Test {
protected:
    ProcessResult compile() {
        return runTool("iconutil", {"-c", "icns", set.string(), "-o", (folder / "app.icns").string()});
    }
    void writeFullSet() {
        for (const auto& slot : kSlots) writeFile(set / slot.name, squarePng(slot.pixels));
    }

    TempFolder folder;
    std::filesystem::path set = folder / "AppIcon.iconset";
};

TEST_F(Iconutil, EveryImageBecomesAMemberInSizeOrderAndIcns2pngListsThemAll) {
    writeFullSet();
    const auto result = compile();
    ASSERT_EQ(result.status, 0) << result.err;

    const std::string icns = readFile(folder / "app.icns");
    ASSERT_EQ(icns.substr(0, 4), "icns");
    EXPECT_EQ(bigEndianAt(icns, 4), icns.size());
    std::size_t at = 8;
    for (const auto& slot : kSlots) {
        ASSERT_LT(at + 8, icns.size());
        EXPECT_EQ(icns.substr(at, 4), slot.type);
        const auto length = bigEndianAt(icns, at + 4);
        EXPECT_EQ(icns.substr(at + 8, length - 8), readFile(set / slot.name)) << slot.name;
        at += length;
    }
    EXPECT_EQ(at, icns.size());

    const auto listing = runProcess({HOSTTOOLS_TEST_ICNS2PNG, "-l", (folder / "app.icns").string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("10 elements total"), std::string::npos) << listing.out;
    for (const auto& slot : kSlots)
        EXPECT_NE(listing.out.find(std::string("'") + slot.type + "'"), std::string::npos);
    EXPECT_NE(listing.out.find("'ic10' 1024x1024 32-bit"), std::string::npos) << listing.out;
}

TEST_F(Iconutil, SetsItCannotCompileWhollyAreRefusedWithoutOutput) {
    writeFullSet();
    writeFile(set / "icon_64x64.png", squarePng(64));
    EXPECT_EQ(compile().status, 1);
    std::filesystem::remove(set / "icon_64x64.png");

    writeFile(set / "icon_32x32.png", squarePng(31));
    const auto wrongSize = compile();
    EXPECT_EQ(wrongSize.status, 1);
    EXPECT_NE(wrongSize.err.find("icon_32x32.png is 31x31 pixels"), std::string::npos) << wrongSize.err;

    writeFile(set / "icon_32x32.png", "broken");
    EXPECT_EQ(compile().status, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "app.icns"));
}

TEST_F(Iconutil, TheSetMustBeANonEmptyIconsetFolder) {
    std::filesystem::create_directories(set);
    EXPECT_NE(compile().err.find("holds no images"), std::string::npos);
    std::filesystem::create_directories(folder / "plain");
    EXPECT_EQ(
        runTool("iconutil", {"-c", "icns", (folder / "plain").string(), "-o", (folder / "x.icns").string()})
            .status,
        1);
    EXPECT_EQ(runTool("iconutil", {"-c", "iconset", set.string(), "-o", "x"}).status, 64);
}

} // namespace
} // namespace hosttools_test
