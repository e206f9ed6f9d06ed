"""Runs `bundlekiln --self-test-ui IMAGE` as a user would, offscreen and on a virtual X display, and reads
what it leaves behind with independent readers: the picture with PIL, the test's own settings with plistlib."""

import os
import plistlib
import re
import resource
import shutil
import subprocess
import tempfile
import unittest

from PIL import Image

EXECUTABLE = os.environ["BUNDLEKILN_EXECUTABLE"]
SUCCESS = re.compile(r"UI tests passed: frameless exclusivity, settings persistence, layout render\. "
                     r"Bounds: \(0\.0, 0\.0, (\d+)\.0, (\d+)\.0\)\n")
MARKER = "/private/tmp/nw-ui-stage" if os.path.isdir("/private/tmp") else "/tmp/nw-ui-stage"


class SelfTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="bundlekiln-self-test-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.store = os.path.join(self.folder, "config", "bundlekiln", "com.local.bundlekiln-ui-test.plist")
        os.makedirs(os.path.dirname(self.store))

    def self_test(self, arguments, wrapper=(), platform="offscreen", **options):
        environment = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
        environment.update(HOME=self.folder, XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
                           QT_QPA_PLATFORM=platform)
        if os.path.exists(MARKER):
            os.remove(MARKER)
        result = subprocess.run([*wrapper, EXECUTABLE, "--self-test-ui", *arguments], cwd=self.folder, env=environment,
                                capture_output=True, text=True, timeout=60, **options)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_offscreen_and_on_a_virtual_display_it_leaves_the_picture_the_marker_and_its_own_settings(self):
        expected = {"final.frameless": False, "final.close": False, "final.name": "", "final.version": "7.7.7"}
        for platform, wrapper in (("offscreen", ()), ("xcb", ("xvfb-run", "-a"))):
            with self.subTest(platform):
                # Both frame options on: the launch resolves them before the test clicks.
                with open(self.store, "wb") as stream:
                    plistlib.dump({"final.frameless": True, "final.close": True, "final.version": "7.7.7"}, stream)
                # The picture's path is the last argument, taken from the working folder.
                result = self.self_test(("--other", platform + ".png"), wrapper, platform)
                match = SUCCESS.fullmatch(result.stdout)
                self.assertIsNotNone(match, result.stdout)
                with Image.open(os.path.join(self.folder, platform + ".png")) as picture:
                    picture.load()
                    self.assertEqual(picture.size, tuple(int(side) for side in match.groups()))
                with open(MARKER) as marker:
                    self.assertEqual(marker.read(), "layout built")
                with open(self.store, "rb") as stream:
                    suite = plistlib.load(stream)
                self.assertEqual({key: suite.get(key) for key in expected}, expected)

    def test_a_picture_that_cannot_be_written_is_left_out_whole_and_the_test_still_passes(self):
        # The picture is larger than the file-size limit; the marker fits.
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        result = self.self_test(("big.png",), preexec_fn=limit)
        self.assertIsNotNone(SUCCESS.fullmatch(result.stdout), result.stdout)
        self.assertEqual([name for name in os.listdir(self.folder) if "png" in name], [])
