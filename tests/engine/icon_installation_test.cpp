#include "builder_error.h"
#include "kilnsmith_test_access.h"
#include "property_list.h"
#include "temporary_folder.h"
#include "test_png.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <zlib.h>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;
using testing::gradientPng;
using testing::pngHeaderSize;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

const char* const iconSetNames[] = {
    "icon_16x16.png",   "icon_16x16@2x.png",   "icon_32x32.png",   "icon_32x32@2x.png",
    "icon_128x128.png", "icon_128x128@2x.png", "icon_256x256.png", "icon_256x256@2x.png",
    "icon_512x512.png", "icon_512x512@2x.png",
};
const std::uint32_t iconSetSizes[] = {16, 32, 32, 64, 128, 256, 256, 512, 512, 1024};

// Twice the pixel density of the other axis, so 2:1 pixels make a square.
constexpr std::uint32_t singleDensity = 2835;
constexpr std::uint32_t doubleDensity = 2 * singleDensity;

class IconInstallation : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(app / "Contents/Info.plist", "{ CFBundleIconFile = nw.icns; CFBundleName = nwjs; }");
        writeFile(resources() / "app.icns", "the runtime's icon");
        useToolRoot(BUNDLEKILN_TEST_TOOLROOT);
    }
    void TearDown() override { unsetenv("BUNDLEKILN_TOOL_ROOT"); }

    static void useToolRoot(const fs::path& root) { setenv("BUNDLEKILN_TOOL_ROOT", root.c_str(), 1); }
    fs::path resources() const { return app / "Contents/Resources"; }
    fs::path iconSet() const { return staging / "AppIcon.iconset"; }

    void install(const fs::path& icon) {
        KilnsmithTestAccess::installIcon(icon, resources(), staging.path(), app.path());
    }

    std::string failureOf(const fs::path& icon) {
        try {
            install(icon);
        } catch (const BuilderError& error) {
            return error.message();
        }
        return "<installed>";
    }

    void expectInfoNamesTheIcon() const {
        const std::string text = readFile(app / "Contents/Info.plist");
        EXPECT_TRUE(text.starts_with("<?xml")) << text;
        const PropertyList info = parsePropertyList(text);
        char* value = nullptr;
        plist_get_string_val(plist_dict_get_item(info.root(), "CFBundleIconFile"), &value);
        EXPECT_STREQ(value, "app.icns");
        std::free(value);
        EXPECT_NE(plist_dict_get_item(info.root(), "CFBundleName"), nullptr);
    }

    TemporaryFolder app;
    TemporaryFolder staging;
    TemporaryFolder sources;
};

TEST_F(IconInstallation, AnIcnsFileIsCopiedUnchangedWithoutRunningATool) {
    useToolRoot("/nonexistent-tool-root");
    writeFile(sources / "Logo.ICNS", "icns\0\0\0\x08");
    install(sources / "Logo.ICNS");
    EXPECT_EQ(readFile(resources() / "app.icns"), readFile(sources / "Logo.ICNS"));
    expectInfoNamesTheIcon();
}

TEST_F(IconInstallation, OtherExtensionsAreRefusedAfterTheOldIconIsRemoved) {
    writeFile(sources / "logo.jpg", gradientPng(16, 16));
    writeFile(sources / "logo", gradientPng(16, 16));
    for (const char* name : {"logo.jpg", "logo"}) {
        EXPECT_EQ(failureOf(sources / name), "Icon must be a PNG or .icns file.") << name;
    }
    EXPECT_FALSE(fs::exists(resources() / "app.icns"));
}

TEST_F(IconInstallation, PNGsThatAreNotSquareImagesAreRefusedBeforeAnyToolRuns) {
    useToolRoot("/nonexistent-tool-root");
    const std::string whole = gradientPng(64, 64);
    std::string hugeHeader = whole.substr(0, 33);
    hugeHeader.replace(16, 8,
                       std::string("\x00\x0F\x42\x40\x00\x0F\x42\x40", 8)); // 1000000 x 1000000, bad CRC
    const std::pair<const char*, std::string> cases[] = {
        {"wide.png", gradientPng(512, 511)},
        {"text.png", "not an image"},
        {"truncated.png", whole.substr(0, whole.size() - 20)},
        {"huge.png", hugeHeader},
        {"stretched.png", gradientPng(64, 64, testing::Resolution{doubleDensity, singleDensity})},
    };
    for (const auto& [name, contents] : cases) {
        writeFile(sources / name, contents);
        EXPECT_EQ(failureOf(sources / name), "Choose a square PNG icon.") << name;
    }
    EXPECT_FALSE(fs::exists(iconSet()));
}

TEST_F(IconInstallation, AnImageTooLargeIsRefusedByItsHeaderAlone) {
    std::string header = gradientPng(64, 64).substr(0, 33); // signature and IHDR, nothing after
    header.replace(16, 8, std::string("\x00\x00\xEA\x60\x00\x00\xEA\x60", 8)); // 60000 x 60000
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(header.data() + 12), 17);
    for (int i = 0; i < 4; ++i) header[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    writeFile(sources / "huge.png", header);
    EXPECT_EQ(failureOf(sources / "huge.png"),
              "The icon is too large: its sides may be at most 16384 pixels.");
}

TEST_F(IconInstallation, ASquarePNGBecomesTheTenSizeSetAndAnIcnsFile) {
    // Square in points though 2:1 in pixels: the reported size decides.
    writeFile(sources / "icon.png", gradientPng(200, 100, testing::Resolution{doubleDensity, singleDensity}));
    install(sources / "icon.png");
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(iconSet())) files += entry.is_regular_file();
    EXPECT_EQ(files, 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        const auto [width, height] = pngHeaderSize(readFile(iconSet() / iconSetNames[i]));
        EXPECT_EQ(width, iconSetSizes[i]) << iconSetNames[i];
        EXPECT_EQ(height, iconSetSizes[i]) << iconSetNames[i];
    }
    EXPECT_TRUE(readFile(resources() / "app.icns").starts_with("icns"));
    expectInfoNamesTheIcon();
}

TEST_F(IconInstallation, AFailingFourthResizeStopsEverythingAfterIt) {
    TemporaryFolder root;
    const fs::path log = root / "calls";
    writeFile(root / "usr/bin/sips",
              "#!/bin/sh\necho \"sips $*\" >> '" + log.string() +
                  "'\n"
                  "[ \"$(wc -l < '" +
                  log.string() +
                  "')\" -eq 4 ] && { echo 'sips: no space'; exit 1; }\n"
                  "exec '" BUNDLEKILN_TEST_TOOLROOT "/usr/bin/sips' \"$@\"\n",
              0755);
    writeFile(root / "usr/bin/iconutil", "#!/bin/sh\necho \"iconutil $*\" >> '" + log.string() + "'\n", 0755);
    useToolRoot(root.path());
    writeFile(sources / "icon.png", gradientPng(32, 32));
    EXPECT_EQ(failureOf(sources / "icon.png"), "sips: no space");

    // The tools read the copy taken into the staging folder, never the user's file.
    const std::string png = (staging / "Icon.png").string();
    std::string expected;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string size = std::to_string(iconSetSizes[i]);
        expected += "sips -z " + size + " " + size + " " + png + " --out " +
                    (iconSet() / iconSetNames[i]).string() + "\n";
    }
    EXPECT_EQ(readFile(log), expected);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(fs::exists(iconSet() / iconSetNames[i]), i < 3) << iconSetNames[i];
    EXPECT_EQ(readFile(app / "Contents/Info.plist"), "{ CFBundleIconFile = nw.icns; CFBundleName = nwjs; }");
}

} // namespace
} // namespace bundlekiln
