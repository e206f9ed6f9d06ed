"""The app's identity after a real build: its Info.plist keys and its icon, and bad input refused cleanly."""

import os
import plistlib
import re
import struct
import subprocess
import unittest
import zlib

from harness import ADDING, PREPARING, SIGNING, TOOL_ROOT, BuildTestCase
from recording_root import RecordingRoot

IDENTITY_KEYS = ("CFBundleName", "CFBundleDisplayName", "CFBundleIdentifier", "CFBundleShortVersionString",
                 "CFBundleVersion", "NSHighResolutionCapable")
ICON_SET = [(16, "icon_16x16.png"), (32, "icon_16x16@2x.png"), (32, "icon_32x32.png"), (64, "icon_32x32@2x.png"),
            (128, "icon_128x128.png"), (256, "icon_128x128@2x.png"), (256, "icon_256x256.png"),
            (512, "icon_256x256@2x.png"), (512, "icon_512x512.png"), (1024, "icon_512x512@2x.png")]
ICNS_TYPES = ["icp4", "ic11", "icp5", "ic12", "ic07", "ic13", "ic08", "ic14", "ic09", "ic10"]
SQUARE_ICON = "Choose a square PNG icon."


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, resolution=None):
    """An RGBA gradient: red grows to the right, green downwards."""
    rows = b"".join(b"\0" + b"".join(bytes((x * 255 // width, y * 255 // height, 60, 255)) for x in range(width))
                    for y in range(height))
    physical = chunk(b"pHYs", struct.pack(">IIB", *resolution, 1)) if resolution else b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            physical + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def decode_rgba(data):
    """Width, height and rows of pixels of a non-interlaced 8-bit RGBA PNG, as the stand-in writes them."""
    width, height = struct.unpack(">II", data[16:24])
    at, compressed = 8, b""
    while at < len(data):
        length, = struct.unpack(">I", data[at:at + 4])
        if data[at + 4:at + 8] == b"IDAT":
            compressed += data[at + 8:at + 8 + length]
        at += 12 + length
    raw, stride, previous, rows = zlib.decompress(compressed), width * 4, bytearray(width * 4), []
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up, corner = previous[i], previous[i - 4] if i >= 4 else 0
            line[i] = (line[i] + (0, left, up, (left + up) // 2, paeth(left, up, corner))[kind]) & 0xFF
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = line
    return width, height, rows


def icns_members(data):
    assert data[:4] == b"icns" and struct.unpack(">I", data[4:8])[0] == len(data)
    at, members = 8, []
    while at < len(data):
        kind, length = data[at:at + 4].decode(), struct.unpack(">I", data[at + 4:at + 8])[0]
        members.append((kind, data[at + 8:at + length]))
        at += length
    return members


def shared_binary(count):
    """A binary property list of `count` arrays, each holding the next one twice: 2^count values once expanded."""
    objects = [bytes((0xA2, index + 1, index + 1)) for index in range(count)] + [b"\x51x"]
    data, offsets = b"bplist00", []
    for item in objects:
        offsets.append(len(data))
        data += item
    table = len(data)
    return (data + b"".join(struct.pack(">H", offset) for offset in offsets) + b"\0" * 6 + bytes((2, 1)) +
            struct.pack(">QQQ", len(objects), 0, table))


class IdentityTestCase(BuildTestCase):
    def write(self, name, contents):
        path = os.path.join(self.folder, name)
        with open(path, "wb") as stream:
            stream.write(contents)
        return path

    def app(self):
        return os.path.join(self.output, "Demo.app")

    def info(self):
        with open(os.path.join(self.app(), "Contents/Info.plist"), "rb") as stream:
            data = stream.read()
        self.assertTrue(data.startswith(b"<?xml"), data[:40])
        return plistlib.loads(data)

    def assertRefusedCleanly(self, result, message):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(message, result.stderr)
        self.assertNotIn("Finished", result.stdout)
        self.assertOutputEmpty()
        self.assertNoStagingLeft()


class InfoPlistTest(IdentityTestCase):
    def test_binary_and_xml_runtimes_end_with_the_chosen_identity_in_xml(self):
        for plist in ("xml", "binary"):
            with self.subTest(plist=plist):
                runtime = self.runtime(form="app", plist=plist)
                with open(os.path.join(runtime, "Contents/Info.plist"), "rb") as stream:
                    original = plistlib.load(stream)
                output = os.path.join(self.folder, "out-" + plist)
                result = self.build("--version", "1.2.3", "--bundle-id", "com.Example.App", runtime=runtime,
                                    output=output, name="My App")
                self.assertEqual(result.returncode, 0, result.stderr)
                app = os.path.join(output, "My App.app")
                self.assertEqual(result.stdout.splitlines(), [PREPARING, ADDING, SIGNING, "Finished: " + app])
                with open(os.path.join(app, "Contents/Info.plist"), "rb") as stream:
                    data = stream.read()
                self.assertTrue(data.startswith(b"<?xml"))
                info = plistlib.loads(data)
                self.assertEqual({key: info[key] for key in IDENTITY_KEYS},
                                 {"CFBundleName": "My App", "CFBundleDisplayName": "My App",
                                  "CFBundleIdentifier": "com.Example.App", "CFBundleShortVersionString": "1.2.3",
                                  "CFBundleVersion": "1.2.3", "NSHighResolutionCapable": True})
                kept = {key: value for key, value in original.items() if key not in IDENTITY_KEYS}
                self.assertEqual({key: info[key] for key in kept}, kept)
                self.assertEqual(info["CFBundleIconFile"], original["CFBundleIconFile"])

    def test_an_old_text_format_runtime_ends_with_xml(self):
        runtime = self.runtime(form="app", plist="text")
        result = self.build("--version", "2.0", "--bundle-id", "com.example.old", runtime=runtime)
        self.assertEqual(result.returncode, 0, result.stderr)
        info = self.info()
        self.assertEqual({key: info[key] for key in IDENTITY_KEYS},
                         {"CFBundleName": "Demo", "CFBundleDisplayName": "Demo", "CFBundleIdentifier": "com.example.old",
                          "CFBundleShortVersionString": "2.0", "CFBundleVersion": "2.0",
                          "NSHighResolutionCapable": True})
        self.assertEqual((info["CFBundleExecutable"], info["CFBundleIconFile"], info["LSFileQuarantineEnabled"]),
                         ("nwjs", "app.icns", "YES"))
        self.assertEqual(len(info), 16)

    def damaged_runtime(self, contents):
        runtime = self.runtime(form="app")
        with open(os.path.join(runtime, "Contents/Info.plist"), "wb") as stream:
            stream.write(contents)
        return runtime

    def test_unreadable_runtime_property_lists_end_the_build_cleanly(self):
        binary = plistlib.dumps({"CFBundleName": "nwjs", "Nested": {"a": [1, 2, 3]}}, fmt=plistlib.FMT_BINARY)
        deep = 200000
        cases = {
            "truncated binary": (binary[:len(binary) // 2], "its binary data is damaged"),
            "deeply nested": (b'<?xml version="1.0"?><plist version="1.0">' + b"<array>" * deep +
                              b"</array>" * deep + b"</plist>", "levels deep"),
            "deeply nested text": (b"(" * deep + b")" * deep, "levels deep"),
            "array at the top": (plistlib.dumps(["x"]), "NW.js runtime has an invalid Info.plist."),
            "shared objects expanding to 2^40 values": (shared_binary(40), "expands to more than"),
        }
        for case, (contents, message) in cases.items():
            with self.subTest(case):
                result = self.build(runtime=self.damaged_runtime(contents))
                self.assertRefusedCleanly(result, message)
                if "levels" in message or "damaged" in message or "expands" in message:
                    self.assertIn("is not a readable property list", result.stderr)


class IconTest(IdentityTestCase):
    def test_an_icns_icon_is_copied_unchanged_and_named(self):
        icon = self.write("Logo.ICNS", b"icns\0\0\0\x10ic08\0\0\0\x08")
        result = self.build("--icon", icon)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.app(), "Contents/Resources/app.icns"), "rb") as stream:
            self.assertEqual(stream.read(), b"icns\0\0\0\x10ic08\0\0\0\x08")
        self.assertEqual(self.info()["CFBundleIconFile"], "app.icns")

    def test_a_square_png_becomes_an_icns_of_every_size(self):
        result = self.build("--icon", self.write("icon.png", png(300, 300)))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(), [PREPARING, ADDING, SIGNING, "Finished: " + self.app()])
        self.assertEqual(self.info()["CFBundleIconFile"], "app.icns")
        icns = os.path.join(self.app(), "Contents/Resources/app.icns")
        listing = subprocess.run(["icns2png", "-l", icns], capture_output=True, text=True, check=True).stdout
        self.assertIn("10 elements total", listing)
        self.assertEqual(re.findall(r"'(\w{4})'", listing), ICNS_TYPES)
        self.assertIn("'ic10' 1024x1024 32-bit", listing)
        with open(icns, "rb") as stream:
            members = icns_members(stream.read())
        self.assertEqual([kind for kind, _ in members], ICNS_TYPES)
        for (pixels, name), (_, member) in zip(ICON_SET, members):
            width, height, rows = decode_rgba(member)
            self.assertEqual((width, height), (pixels, pixels), name)
            top_left, bottom_right = rows[0][0], rows[-1][-1]
            self.assertLess(top_left[0], 40, name)
            self.assertGreater(bottom_right[0], 215, name)
            self.assertGreater(bottom_right[1], 215, name)
            self.assertEqual({pixel[3] for row in rows for pixel in row}, {255}, name)

    def test_icons_that_are_not_square_pngs_are_refused(self):
        whole = png(64, 64)
        huge = whole[:8] + chunk(b"IHDR", struct.pack(">IIBBBBB", 1000000, 1000000, 8, 6, 0, 0, 0)) + whole[33:]
        cases = {
            "wide.png": (png(64, 63), SQUARE_ICON),
            "corrupt.png": (whole[:40] + b"\xff" * 20 + whole[60:], SQUARE_ICON),
            "truncated.png": (whole[:len(whole) - 30], SQUARE_ICON),
            "text.png": (b"not an image", SQUARE_ICON),
            "stretched.png": (png(64, 64, resolution=(5670, 2835)), SQUARE_ICON),
            "huge.png": (huge, "The icon is too large: its sides may be at most 16384 pixels."),
            "logo.jpg": (whole, "Icon must be a PNG or .icns file."),
            "logo": (whole, "Icon must be a PNG or .icns file."),
        }
        for name, (contents, message) in cases.items():
            with self.subTest(name):
                result = self.build("--icon", self.write(name, contents))
                self.assertRefusedCleanly(result, message)
                self.assertEqual(result.stderr, message + "\n")


class RecordedIconTest(IdentityTestCase):
    def setUp(self):
        super().setUp()
        self.root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        self.icon = self.write("icon.png", png(40, 40))

    def image_tool_calls(self):
        return [call for call in self.root.calls() if call[0] in ("/usr/bin/sips", "/usr/bin/iconutil")]

    def test_ten_resizes_in_table_order_then_one_compile(self):
        result = self.build("--icon", self.icon, tool_root=self.root.path)
        self.assertEqual(result.returncode, 0, result.stderr)
        calls = self.image_tool_calls()
        self.assertEqual(len(calls), 11)
        staging = re.escape(self.temporary) + r"/Kilnsmith-[0-9A-F-]{36}"
        icon_set = re.match(staging + "/AppIcon.iconset", calls[0][-1]).group(0)
        staged_icon = os.path.dirname(icon_set) + "/Icon.png"
        self.assertEqual(calls[:10], [["/usr/bin/sips", "-z", str(pixels), str(pixels), staged_icon, "--out",
                                       icon_set + "/" + name] for pixels, name in ICON_SET])
        self.assertEqual(calls[10], ["/usr/bin/iconutil", "-c", "icns", icon_set, "-o",
                                     os.path.dirname(icon_set) + "/Demo.app/Contents/Resources/app.icns"])

    def test_a_failing_fourth_resize_stops_everything_after_it(self):
        counter = os.path.join(self.folder, "sips-runs")
        self.root.replace("/usr/bin/sips", 'echo run >> %s\n'
                                           '[ "$(wc -l < %s)" -eq 4 ] && { echo "sips: disk full"; exit 1; }\n'
                                           'exec %s "$@"\n' % (counter, counter, TOOL_ROOT + "/usr/bin/sips"))
        result = self.build("--icon", self.icon, tool_root=self.root.path)
        self.assertRefusedCleanly(result, "sips: disk full")
        tools = [call[0] for call in self.root.calls()]
        self.assertEqual(tools.count("/usr/bin/sips"), 4)
        after = tools[tools.index("/usr/bin/sips") + 4:]
        self.assertEqual(after, [])


class SettingsTest(IdentityTestCase):
    def test_a_very_long_version_is_judged_without_a_crash(self):
        # Near the longest single argument Linux passes; std::regex overflowed the stack at 100,000.
        result = self.build("--version", "1" * 120000 + "x")
        self.assertRefusedCleanly(result, "Version must look like 1.0 or 1.2.3.")
        self.assertEqual(result.stdout, "")


class KeychainTest(IdentityTestCase):
    """The identity check through the stand-in security and its keychain file."""

    IDENTITY = "Developer ID Application: Jane Doe (TEAM123456)"

    def setUp(self):
        super().setUp()
        os.environ["BUNDLEKILN_KEYCHAIN"] = self.write("keychain", (self.IDENTITY + "\n").encode())

    def tearDown(self):
        del os.environ["BUNDLEKILN_KEYCHAIN"]
        super().tearDown()

    def test_an_identity_in_the_keychain_signs_and_one_elsewhere_is_refused_first(self):
        result = self.build("--sign", "Jane Doe (TEAM123456)")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Signing with Developer ID\u2026", result.stdout.splitlines())
        refused = self.build("--sign", "John Roe", "--version", "not a version", output=self.output + "-2")
        self.assertEqual(refused.stderr, "The signing identity was not found in the login Keychain. "
                                         "Use your Developer ID Application certificate name or SHA-1 fingerprint.\n")
        self.assertFalse(os.path.exists(self.output + "-2"))


if __name__ == "__main__":
    unittest.main()
