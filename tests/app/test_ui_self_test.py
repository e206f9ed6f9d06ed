"""Runs `bundlekiln --self-test-ui IMAGE` as a user would, offscreen and on a virtual X display,
and reads what it leaves behind with independent readers: the PNG through zlib, the settings
through plistlib."""

import os
import plistlib
import re
import shutil
import struct
import resource
import subprocess
import tempfile
import unittest
import zlib

EXECUTABLE = os.environ["BUNDLEKILN_EXECUTABLE"]
SUCCESS = re.compile(r"UI tests passed: frameless exclusivity, settings persistence, layout render\. "
                     r"Bounds: \((\d+\.\d+), (\d+\.\d+), (\d+\.\d+), (\d+\.\d+)\)\n")
MARKER = "/private/tmp/nw-ui-stage" if os.path.isdir("/private/tmp") else "/tmp/nw-ui-stage"


def png_size(path):
    """Width and height from the IHDR chunk, after checking every chunk's CRC and that the
    image data inflates to exactly one filtered row per line."""
    with open(path, "rb") as stream:
        data = stream.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature"
    position, chunks = 8, {}
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        (crc,) = struct.unpack(">I", data[position + 8 + length:position + 12 + length])
        assert zlib.crc32(kind + body) == crc, "bad CRC in %r" % kind
        chunks.setdefault(kind, []).append(body)
        position += 12 + length
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][0][:10])
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    pixels = zlib.decompress(b"".join(chunks[b"IDAT"]))
    assert len(pixels) == height * (1 + width * channels * depth // 8), "image data of the wrong size"
    return width, height


class SelfTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="bundlekiln-self-test-")
        self.config = os.path.join(self.folder, "config", "bundlekiln")
        os.makedirs(self.config)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def store(self, suite):
        return os.path.join(self.config, suite + ".plist")

    def run_self_test(self, *arguments, display="offscreen", **options):
        environment = dict(os.environ, HOME=self.folder, XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
                           XDG_DATA_HOME=os.path.join(self.folder, "data"))
        environment.pop("QT_QPA_PLATFORM", None)
        environment.pop("DISPLAY", None)
        command = [EXECUTABLE, *arguments]
        if display == "offscreen":
            environment["QT_QPA_PLATFORM"] = "offscreen"
        else:
            command = ["xvfb-run", "-a", *command]
        return subprocess.run(command, cwd=self.folder, env=environment, capture_output=True, text=True, timeout=60,
                              **options)

    def check_success(self, result, image):
        self.assertEqual(result.returncode, 0, result.stderr)
        match = SUCCESS.fullmatch(result.stdout)
        self.assertIsNotNone(match, result.stdout)
        x, y, width, height = (float(number) for number in match.groups())
        self.assertEqual((x, y), (0.0, 0.0))
        self.assertEqual(png_size(image), (width, height))
        with open(MARKER) as marker:
            self.assertEqual(marker.read(), "layout built")

    def test_offscreen_run_leaves_the_image_the_marker_and_only_its_own_store(self):
        standard = {"final.name": "Mine", "final.frameless": True, "final.arch": 1}
        with open(self.store("com.local.bundlekiln"), "wb") as stream:
            plistlib.dump(standard, stream)
        with open(self.store("com.local.bundlekiln"), "rb") as stream:
            standard_bytes = stream.read()
        # Both frame options on: the launch already resolves them before the test clicks.
        with open(self.store("com.local.bundlekiln-ui-test"), "wb") as stream:
            plistlib.dump({"final.frameless": True, "final.close": True, "final.version": "7.7.7"}, stream)
        image = os.path.join(self.folder, "form.png")
        self.check_success(self.run_self_test("--self-test-ui", image), image)
        with open(self.store("com.local.bundlekiln"), "rb") as stream:
            self.assertEqual(stream.read(), standard_bytes)
        with open(self.store("com.local.bundlekiln-ui-test"), "rb") as stream:
            suite = plistlib.load(stream)
        self.assertIs(suite["final.frameless"], False)
        self.assertIs(suite["final.close"], False)
        self.assertEqual(suite["final.name"], "")
        self.assertEqual(suite["final.version"], "7.7.7")

    def test_the_flag_may_stand_anywhere_and_a_relative_image_path_is_taken_from_the_working_folder(self):
        result = self.run_self_test("--self-test-ui", "--other", "shot.png")
        self.check_success(result, os.path.join(self.folder, "shot.png"))

    def test_without_an_image_path_the_image_is_named_after_the_flag(self):
        result = self.run_self_test("--self-test-ui")
        self.check_success(result, os.path.join(self.folder, "--self-test-ui"))

    def test_an_image_that_cannot_be_written_is_left_out_whole_and_the_test_still_passes(self):
        # The picture is larger than the file-size limit; the marker fits.
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        result = self.run_self_test("--self-test-ui", "big.png", preexec_fn=limit)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIsNotNone(SUCCESS.fullmatch(result.stdout), result.stdout)
        self.assertEqual([name for name in os.listdir(self.folder) if "png" in name], [])

    def test_runs_on_a_virtual_x_display(self):
        image = os.path.join(self.folder, "x.png")
        self.check_success(self.run_self_test("--self-test-ui", image, display="xvfb"), image)


if __name__ == "__main__":
    unittest.main()
