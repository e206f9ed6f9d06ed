"""The notary service accepts only a lone app signed with a Developer ID, the hardened runtime and a timestamp,
and stapler staples only the signature it accepted. (A notarized build and an unknown profile: in the CLI suite.)"""

import json
import os
import pwd
import subprocess
import unittest
import uuid
from unittest import mock

from stand_in import TOOLS, StandInTestCase, run

IDENTITY = "Developer ID Application: Jo Doe (AB12CD34EF)"


class NotaryTest(StandInTestCase):
    def setUp(self):
        super().setUp()
        profiles = self.write("config/profiles", "team profile\n")
        environment = mock.patch.dict(os.environ, BUNDLEKILN_NOTARY_PROFILES=profiles)
        environment.start()
        self.addCleanup(environment.stop)
        self.entitlements = self.write("entitlements.plist", "<plist/>\n")
        self.app = self.path("build/My App.app")
        self.write("build/My App.app/Contents/MacOS/My App", "binary\n")
        self.write("build/My App.app/Contents/Info.plist", "<plist/>\n")

    def sign(self, item, identity=IDENTITY):
        result = run("codesign", "--force", "--sign", identity, "--timestamp", "--options", "runtime",
                     "--entitlements", self.entitlements, item)
        self.assertEqual(result.returncode, 0, result.stderr)

    def submit(self, item, **options):
        """The service's answer to `item` (zipped as the engine does, unless it is an archive already)."""
        archive = item
        if not item.endswith(".zip"):
            archive = self.path("upload-%d.zip" % len(os.listdir(self.folder)))
            self.assertEqual(run("ditto", "-c", "-k", "--sequesterRsrc", "--keepParent", item, archive).returncode, 0)
        answer = run("xcrun", "notarytool", "submit", archive, "--keychain-profile", "team profile", "--wait",
                     "--output-format", "json", **options)
        self.assertEqual(answer.returncode, 0, answer.stderr)
        result = json.loads(answer.stdout)
        self.assertEqual(uuid.UUID(result["id"]).version, 4)
        return result["status"], result["message"]

    def stapler(self, action):
        return run("xcrun", "stapler", action, self.app)

    def test_stapling_needs_an_accepted_submission_of_the_current_signature(self):
        self.sign(self.app + "/Contents/MacOS/My App")
        self.sign(self.app)
        early = self.stapler("staple")
        self.assertEqual(early.returncode, 1)
        self.assertIn("no accepted notarization", early.stderr)
        self.assertFalse(os.path.exists(self.app + "/Contents/CodeResources"))
        self.assertEqual(self.submit(self.app), ("Accepted", "Processing complete"))
        self.assertEqual(self.stapler("staple").returncode, 0)
        self.assertEqual(self.stapler("validate").returncode, 0)
        # The ticket lies outside the seal, as it is added after signing.
        self.assertEqual(run("codesign", "--verify", "--deep", "--strict", self.app).returncode, 0)
        self.write("build/My App.app/Contents/Info.plist", "<plist>changed</plist>\n")
        validated = self.stapler("validate")
        self.assertEqual(validated.returncode, 1)
        self.assertIn("Contents/Info.plist", validated.stderr)
        self.sign(self.app)
        self.assertEqual(self.stapler("staple").returncode, 1, "the new signature was never submitted")

    def test_submissions_that_the_service_rejects_are_invalid(self):
        self.sign(self.app, "-")
        self.assertEqual(self.submit(self.app), ("Invalid", "The app is not signed with a Developer ID certificate."))
        self.sign(self.app)
        self.write("build/My App.app/Contents/MacOS/My App", "changed after signing\n")
        self.assertEqual(self.submit(self.app), ("Invalid", "The signature of the app is invalid."))
        self.write("Other.app/Contents/Info.plist", "<plist/>\n")
        self.assertEqual(self.submit(self.path("Other.app")), ("Invalid", "The signature of the app is invalid."))
        self.write("pile/readme.txt", "no app here\n")
        self.assertEqual(self.submit(self.path("pile")),
                         ("Invalid", "The archive must hold exactly one app at its top level."))
        status, message = self.submit(self.write("broken.zip", "not a zip archive\n"))
        self.assertEqual(status, "Invalid")
        self.assertTrue(message.startswith("The archive could not be unpacked"), message)
        self.assertFalse(os.path.exists(self.path("config/notary-accepted-seals")))

    def test_read_only_folders_in_a_submission_leave_nothing_in_the_temporary_folder(self):
        # Root may remove what a read-only folder holds anyway, so as root the service runs as nobody.
        user = {}
        if os.geteuid() == 0:
            try:
                nobody = pwd.getpwnam("nobody")
            except KeyError:
                self.skipTest("no unprivileged user to run as")
            user = {"user": nobody.pw_uid, "group": nobody.pw_gid, "extra_groups": []}
            # A checkout beneath a private folder (such as /root) keeps the tools out of that user's reach.
            if subprocess.run(["test", "-x", os.path.join(TOOLS, "xcrun")], **user).returncode != 0:
                self.skipTest("the stand-ins are out of an unprivileged user's reach in this checkout")
        os.chmod(self.folder, 0o777)
        os.chmod(self.app + "/Contents", 0o555)
        self.assertEqual(self.submit(self.app, env=dict(os.environ, TMPDIR=self.folder), **user)[0], "Invalid")
        self.assertEqual([name for name in os.listdir(self.folder) if name.startswith("bundlekiln.")], [])


if __name__ == "__main__":
    unittest.main()
