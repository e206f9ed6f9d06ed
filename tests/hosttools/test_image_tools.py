"""sips -z resamples for real and iconutil -c icns packs icon sets; PIL makes and reads images, icns2png lists."""

import os
import struct
import subprocess
import unittest
import zlib

from PIL import Image

from stand_in import StandInTestCase, contents, run

BLACK, WHITE = (0, 0, 0, 255), (255, 255, 255, 255)
SLOTS = [("icon_16x16.png", 16, "icp4"), ("icon_16x16@2x.png", 32, "ic11"), ("icon_32x32.png", 32, "icp5"),
         ("icon_32x32@2x.png", 64, "ic12"), ("icon_128x128.png", 128, "ic07"), ("icon_128x128@2x.png", 256, "ic13"),
         ("icon_256x256.png", 256, "ic08"), ("icon_256x256@2x.png", 512, "ic14"), ("icon_512x512.png", 512, "ic09"),
         ("icon_512x512@2x.png", 1024, "ic10")]


def paint(mode, width, height, pixel):
    image = Image.new(mode, (width, height))
    image.putdata([pixel(x, y) for y in range(height) for x in range(width)])
    return image


class ImageToolsTest(StandInTestCase):
    def sips(self, width, height):
        return run("sips", "-z", height, width, self.path("in.png"), "--out", self.path("out.png"))

    def test_sips_resamples_every_kind_of_png_for_real(self):
        palette = paint("P", 2, 1, lambda x, y: x)
        palette.putpalette([255, 0, 0, 0, 0, 255])
        cases = [
            # Shrinking averages every covered pixel: nearest-neighbour sampling would give black or white.
            (paint("RGBA", 64, 64, lambda x, y: WHITE if (x + y) % 2 else BLACK), {}, (16, 8),
             lambda out, px: all(abs(r - 128) <= 1 and a == 255 for r, g, b, a in out.getdata())),
            (paint("RGBA", 2, 2, lambda x, y: WHITE if x else BLACK), {}, (8, 8),
             lambda out, px: px[0, 0] == BLACK and px[7, 7] == WHITE and 0 < px[4, 3][0] and px[3, 3][0] < 255
             and all(px[x - 1, 3][0] <= px[x, 3][0] for x in range(1, 8))),
            # Transparent pixels lend no colour to their neighbours.
            (paint("RGBA", 4, 4, lambda x, y: (255, 0, 0, 0) if x < 2 else (0, 0, 255, 255)), {}, (1, 1),
             lambda out, px: px[0, 0][:3] == (0, 0, 255) and abs(px[0, 0][3] - 128) <= 1),
            (paint("I;16", 33, 33, lambda x, y: x * 7 * 257), {}, (33, 33),
             lambda out, px: all(px[x, 10] == (x * 7,) * 3 + (255,) for x in range(33))),
            (palette, {"transparency": 0}, (2, 1), lambda out, px: px[0, 0][3] == 0 and px[1, 0] == (0, 0, 255, 255)),
        ]
        for image, options, size, holds in cases:
            with self.subTest(mode=image.mode, size=size):
                image.save(self.path("in.png"), **options)
                result = self.sips(*size)
                self.assertEqual(result.returncode, 0, result.stderr)
                with Image.open(self.path("out.png")) as out:
                    self.assertEqual((out.mode, out.size), ("RGBA", size))
                    self.assertTrue(holds(out, out.load()))

    def test_sips_refuses_damaged_or_oversized_images_and_writes_nothing(self):
        paint("RGBA", 64, 64, lambda x, y: (x, y, 0, 255)).save(self.path("good.png"))
        good = contents(self.path("good.png"))
        header = b"IHDR" + struct.pack(">IIBBBBB", 10**6, 10**6, 8, 6, 0, 0, 0)  # and no data
        huge = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + header + struct.pack(">I", zlib.crc32(header))
        for data, reason in ((b"not an image", "not a PNG image"), (good[:len(good) // 2], "cannot be read"),
                             (huge, "cannot be read")):
            self.write("in.png", data)
            result = self.sips(16, 16)
            self.assertEqual(result.returncode, 1)
            self.assertIn(reason, result.stderr)
            self.assertFalse(os.path.exists(self.path("out.png")))

    def icon_set(self, name, images):
        os.makedirs(self.path(name))
        for file, side in images:
            Image.new("RGBA", (side, side), (side % 256, 0, 90, 255)).save(self.path(name, file))
        return self.path(name)

    def test_iconutil_makes_each_image_a_member_in_size_order(self):
        icon_set = self.icon_set("A.iconset", [(name, side) for name, side, _ in SLOTS])
        result = run("iconutil", "-c", "icns", icon_set, "-o", self.path("A.icns"))
        self.assertEqual(result.returncode, 0, result.stderr)
        listing = subprocess.run(["icns2png", "-l", self.path("A.icns")], capture_output=True, text=True).stdout
        members = [line for line in listing.splitlines() if line.startswith("  '")]
        self.assertEqual(len(members), len(SLOTS), listing)
        for member, (name, _, kind) in zip(members, SLOTS):
            # Each member is the PNG file unchanged: icns2png gives its size in bytes.
            self.assertRegex(member, r"^  '%s' .*\b%d( bytes)?\)$" % (kind, os.path.getsize(self.path(icon_set, name))))
        self.assertTrue(members[-1].startswith("  'ic10' 1024x1024 32-bit"), members[-1])

    def test_iconutil_refuses_sets_it_cannot_compile_wholly(self):
        cases = [(self.icon_set("Unused.iconset", [("icon_64x64.png", 64)]), "a name it does not use"),
                 (self.icon_set("Wrong.iconset", [("icon_32x32.png", 31)]), "icon_32x32.png is 31x31 pixels"),
                 (os.path.dirname(self.write("Broken.iconset/icon_32x32.png", "broken")), "is not a PNG image"),
                 (self.icon_set("Empty.iconset", []), "holds no images"),
                 (self.icon_set("plain", [("icon_16x16.png", 16)]), "is not a folder named *.iconset")]
        for icon_set, reason in cases:
            result = run("iconutil", "-c", "icns", icon_set, "-o", self.path("A.icns"))
            self.assertEqual(result.returncode, 1, icon_set)
            self.assertIn(reason, result.stderr)
            self.assertFalse(os.path.exists(self.path("A.icns")))


if __name__ == "__main__":
    unittest.main()
