// Installs the chosen icon as the bundle's "app.icns": an .icns is copied as
// it is; a square PNG is rendered into the ten icon-set sizes and compiled.
#include "builder_error.h"
#include "info_plist.h"
#include "interruption.h"
#include "kilnsmith.h"
#include "path_extension.h"
#include "png_size.h"
#include "posix/file_contents_copy.h"
#include "regular_file.h"
#include "tool_runner.h"

#include <array>
#include <cerrno>
#include <fcntl.h>

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

void compileIconSet(const fs::path& png, const Folder& resources, const Folder& staging) {
    if (!isSquarePNG(png)) throw BuilderError("Choose a square PNG icon.");
    const Folder folder = staging.makeFolder("AppIcon.iconset");
    for (const auto& entry : iconSet) {
        const std::string pixels = std::to_string(entry.pixels);
        run("/usr/bin/sips",
            {"-z", pixels, pixels, png.string(), "--out", (folder.path() / entry.fileName).string()});
    }
    run("/usr/bin/iconutil",
        {"-c", "icns", folder.path().string(), "-o", (resources.path() / "app.icns").string()});
}

/// Copies the file `from` (a descriptor) as `name` into `folder`.
void copyInto(int from, const Folder& folder, const std::string& name) {
    const fs::path path = folder.path() / name;
    posix::UniqueFd to = openBeneath(folder.fd(), name, O_WRONLY | O_CREAT | O_EXCL, path, 0644);
    if (const int error = posix::copyFileContents(from, to.get(), throwIfInterrupted))
        posix::throwFileError("Could not copy to", path, error);
    if (to.close() != 0) posix::throwFileError("Could not write", path, errno);
}

/// The icon is read once, into the staging folder, and every later step works
/// on that copy: a pipe or a device given as the icon is refused before any
/// read, and a file changed meanwhile cannot change what is built.
fs::path stagedIcon(const fs::path& icon, const std::string& extension, const Folder& staging) {
    const std::string name = "Icon." + extension;
    staging.removeTree(name);
    // The user may name the icon through links; the file they lead to is read.
    std::error_code unresolved;
    const fs::path resolved = fs::canonical(icon, unresolved);
    const fs::path path = unresolved ? icon : resolved;
    const posix::UniqueFd source = openRegularFile(AT_FDCWD, path, "The icon", icon);
    copyInto(source.get(), staging, name);
    return staging.path() / name;
}

} // namespace

void Kilnsmith::installIcon(const fs::path& icon, const Folder& resources, const Folder& staging,
                            const Folder& app) const {
    resources.removeTree("app.icns");
    const std::string extension = lowercasePathExtension(icon);
    if (extension != "icns" && extension != "png") throw BuilderError("Icon must be a PNG or .icns file.");
    const fs::path staged = stagedIcon(icon, extension, staging);
    if (extension == "icns") {
        const posix::UniqueFd source = openRegularFile(staging.fd(), staged.filename(), "The icon", staged);
        copyInto(source.get(), resources, "app.icns");
    } else {
        compileIconSet(staged, resources, staging);
    }
    editInfoPlist(app, [](plist_t info) {
        plist_dict_set_item(info, "CFBundleIconFile", plist_new_string("app.icns"));
    });
}

} // namespace bundlekiln
