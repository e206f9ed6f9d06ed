"""Packaging and notarization through the real stand-in tools, read back by independent readers."""

import os
import subprocess
import unittest

from harness import TOOL_ROOT, BuildTestCase

IDENTITY = "Developer ID Application: Jane Doe (TEAM123456)"
PROFILE = "team profile"


def xcrun(*arguments):
    return subprocess.run([os.path.join(TOOL_ROOT, "usr/bin/xcrun"), *arguments], capture_output=True, text=True)


class PackagingToolsTest(BuildTestCase):
    def setUp(self):
        super().setUp()
        self.use_stand_in_keychain(IDENTITY, PROFILE)

    def test_the_disk_image_opens_with_7zip_and_holds_the_app(self):
        result = self.build("--zip", "--dmg", name="My App")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(self.output)), ["My App.app", "My App.dmg", "My App.zip"])
        listing = subprocess.run(["7zz", "l", "-slt", os.path.join(self.output, "My App.dmg")],
                                 capture_output=True, text=True)
        self.assertEqual(listing.returncode, 0, listing.stdout + listing.stderr)
        paths = [line[len("Path = "):] for line in listing.stdout.splitlines() if line.startswith("Path = ")]
        # 7-Zip names each entry after the volume, then the path inside it.
        self.assertIn("My App/My App.app/Contents/Info.plist", paths)
        self.assertIn("My App/My App.app/Contents/MacOS/nwjs", paths)
        self.assertNoStagingLeft()

    def test_a_notarized_build_ends_stapled_and_validates(self):
        result = self.build("--sign", IDENTITY, "--notary-profile", PROFILE, name="My App")
        self.assertEqual(result.returncode, 0, result.stderr)
        app = os.path.join(self.output, "My App.app")
        self.assertTrue(os.path.isfile(os.path.join(app, "Contents", "CodeResources")))
        validated = xcrun("stapler", "validate", app)
        self.assertEqual(validated.returncode, 0, validated.stderr)
        self.assertNoStagingLeft()

    def test_an_unknown_profile_ends_the_build_with_the_tools_message(self):
        result = self.build("--sign", IDENTITY, "--notary-profile", "someone else", name="My App")
        self.assertEqual(result.returncode, 1)
        self.assertIn("No Keychain password item found for profile: someone else", result.stderr)
        self.assertOutputEmpty()
        self.assertNoStagingLeft()


if __name__ == "__main__":
    unittest.main()
