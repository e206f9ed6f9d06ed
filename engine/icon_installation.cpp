// Installs the chosen icon as the bundle's "app.icns": an .icns is copied as
// it is; a square PNG is rendered into the ten icon-set sizes and compiled.
#include "builder_error.h"
#include "info_plist.h"
#include "kilnsmith.h"
#include "path_extension.h"
#include "png_size.h"
#include "tool_runner.h"

#include <array>

namespace bundlekiln {
namespace {

namespace fs = std::filesystem;

struct IconSetEntry {
    int pixels;
    const char* fileName;
};

constexpr std::array<IconSetEntry, 10> iconSet{{
    {16, "icon_16x16.png"},
    {32, "icon_16x16@2x.png"},
    {32, "icon_32x32.png"},
    {64, "icon_32x32@2x.png"},
    {128, "icon_128x128.png"},
    {256, "icon_128x128@2x.png"},
    {256, "icon_256x256.png"},
    {512, "icon_256x256@2x.png"},
    {512, "icon_512x512.png"},
    {1024, "icon_512x512@2x.png"},
}};

bool isSquarePNG(const fs::path& icon) {
    const auto size = pngReportedSize(icon);
    return size && size->width == size->height;
}

void compileIconSet(const fs::path& png, const fs::path& iconFile, const fs::path& staging) {
    if (!isSquarePNG(png)) throw BuilderError("Choose a square PNG icon.");
    const fs::path folder = staging / "AppIcon.iconset";
    fs::create_directories(folder);
    for (const auto& entry : iconSet) {
        const std::string pixels = std::to_string(entry.pixels);
        run("/usr/bin/sips", {"-z", pixels, pixels, png.string(), "--out", (folder / entry.fileName).string()});
    }
    run("/usr/bin/iconutil", {"-c", "icns", folder.string(), "-o", iconFile.string()});
}

} // namespace

void Kilnsmith::installIcon(const fs::path& icon, const fs::path& resources, const fs::path& staging,
                            const fs::path& app) const {
    const fs::path iconFile = resources / "app.icns";
    std::error_code ignored;
    fs::remove(iconFile, ignored);
    const std::string extension = lowercasePathExtension(icon);
    if (extension == "icns") fs::copy_file(icon, iconFile);
    else if (extension == "png") compileIconSet(icon, iconFile, staging);
    else throw BuilderError("Icon must be a PNG or .icns file.");
    editInfoPlist(app, [](plist_t info) { plist_dict_set_item(info, "CFBundleIconFile", plist_new_string("app.icns")); });
}

} // namespace bundlekiln
