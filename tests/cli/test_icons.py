"""The app's icon: an .icns kept as it is, a square PNG made into an .icns of every size, anything else refused."""

import os
import subprocess

from PIL import Image

from harness import TOOL_ROOT, BuildTestCase, png, read_plist, write
from recording_root import RecordingRoot

SQUARE = "Choose a square PNG icon."
KIND = "Icon must be a PNG or .icns file."
# Every point size of an icon set, each at one and two pixels a point.
EVERY_SIZE = {(side, side, scale) for side in (16, 32, 128, 256, 512) for scale in (1, 2)}


class IconTest(BuildTestCase):
    def built_icon(self, name, contents):
        app = self.assertBuilt(self.build("--icon", write(os.path.join(self.folder, "icons", name), contents)))
        self.assertEqual(read_plist(os.path.join(app, "Contents/Info.plist"))["CFBundleIconFile"], "app.icns")
        return os.path.join(app, "Contents/Resources/app.icns")

    def test_an_icns_icon_is_copied_unchanged(self):
        with open(self.built_icon("Logo.ICNS", b"icns\0\0\0\x10ic08\0\0\0\x08"), "rb") as stream:
            self.assertEqual(stream.read(), b"icns\0\0\0\x10ic08\0\0\0\x08")

    def test_a_square_png_becomes_an_icns_of_every_size(self):
        icns = self.built_icon("icon.png", png(300, 300))
        listing = subprocess.run(["icns2png", "-l", icns], capture_output=True, text=True, check=True).stdout
        self.assertIn("10 elements total", listing)
        with Image.open(icns) as icon:
            self.assertEqual(sorted(icon.info["sizes"]), sorted(EVERY_SIZE))
            for width, height, scale in sorted(EVERY_SIZE):
                with self.subTest(size=(width, scale)):
                    member = icon.icns.getimage((width, height, scale))
                    self.assertEqual(member.size, (width * scale, height * scale))
                    top_left, bottom_right = member.getpixel((0, 0)), member.getpixel((width * scale - 1,) * 2)
                    self.assertLess(top_left[0], 40)
                    self.assertGreater(min(bottom_right[:2]), 215)
                    self.assertEqual(member.getextrema()[3], (255, 255))

    def test_icons_that_are_not_square_pngs_are_refused_before_any_tool_reads_them(self):
        root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        whole = png(64, 64)
        middle = len(whole) // 2
        for name, contents, message in (
                ("wide.png", png(64, 63), SQUARE),
                ("corrupt.png", whole[:middle] + b"\xff" * 20 + whole[middle + 20:], SQUARE),
                ("truncated.png", whole[:-30], SQUARE),
                ("text.png", b"not an image", SQUARE),
                ("stretched.png", png(64, 64, dpi=(144, 72)), SQUARE),
                ("logo.jpg", whole, KIND),
                ("logo", whole, KIND)):
            with self.subTest(name):
                icon = write(os.path.join(self.folder, name), contents)
                self.assertRefused(self.build("--icon", icon, tool_root=root.path), message)
                self.assertFalse([call for call in root.calls() if call[0] in ("/usr/bin/sips", "/usr/bin/iconutil")])
                self.assertNoStagingLeft()
                self.assertOutputEmpty()

