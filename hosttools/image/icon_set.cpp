#include "image/icon_set.h"

#include <array>
#include <fstream>
#include <iterator>
#include <string_view>

#include "common/tool_failure.h"
#include "image/png_codec.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

struct IconSlot {
    std::string_view fileName;
    std::uint32_t pixels;
    std::string_view type;
};

// The type codes that hold PNG data for each size; @2x images have their own.
constexpr std::array<IconSlot, 10> kSlots{{
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

std::string contentsOf(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream.good() && !stream.eof()) throw ToolFailure("Could not read " + file.string() + ".");
    return contents;
}

void refuseUnknownImages(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        if (entry.path().extension() != ".png") continue;
        bool known = false;
        for (const auto& slot : kSlots) known = known || slot.fileName == name;
        if (!known)
            throw ToolFailure("The icon set " + folder.string() +
                              " holds an image with a name it does not use: " + name + ".");
    }
}

} // namespace

std::vector<IcnsMember> readIconSet(const fs::path& folder) {
    if (folder.filename().extension() != ".iconset" || !fs::is_directory(folder)) {
        throw ToolFailure("The icon set " + folder.string() + " is not a folder named *.iconset.");
    }
    refuseUnknownImages(folder);
    std::vector<IcnsMember> members;
    for (const auto& slot : kSlots) {
        const fs::path file = folder / slot.fileName;
        if (!fs::exists(file)) continue;
        const RgbaImage image = readPng(file);
        if (image.width != slot.pixels || image.height != slot.pixels) {
            throw ToolFailure("The image " + file.string() + " is " + std::to_string(image.width) + "x" +
                              std::to_string(image.height) + " pixels; its name needs " +
                              std::to_string(slot.pixels) + "x" + std::to_string(slot.pixels) + ".");
        }
        members.push_back({std::string(slot.type), contentsOf(file)});
    }
    if (members.empty()) throw ToolFailure("The icon set " + folder.string() + " holds no images.");
    return members;
}

} // namespace hosttools
