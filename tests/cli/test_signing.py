"""Signing, notarization and packaging as the tools see them (which runs, in which order, on what), and what
they leave as independent readers see it."""

import itertools
import os
import plistlib
import re
import stat
import subprocess
import zipfile

from harness import IDENTITY, PROFILE, TOOL_ROOT, BuildTestCase, write
from recording_root import RecordingRoot

APP = "My App.app"
DEVELOPER_ID = "Signing with Developer ID\u2026"
SUBMITTING = "Submitting to Apple for notarization. This can take several minutes\u2026"
MACH_O_64 = b"\xcf\xfa\xed\xfe"
REJECTED = '{"id":"2efe2717","status":"Invalid","message":"Processing complete"}'


def notary_script(answer):
    """An xcrun that finds its tools and whose notary service answers `answer`, and that does nothing else."""
    return ("[ \"$1\" = --find ] && exec echo \"/usr/bin/$2\"\n[ \"$1 $2\" = 'notarytool submit' ] || exit 64\n"
            "printf '%%s\\n' '%s'\n" % answer)


class SigningTest(BuildTestCase):
    def setUp(self):
        super().setUp()
        self.use_stand_in_keychain()
        self.root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))

    def recorded_build(self, *options, name="Demo"):
        result = self.build(*options, name=name, tool_root=self.root.path)
        self.assertNoStagingLeft()
        return result

    def runs_from_xattr(self):
        """Each run from the clearing of attributes on, as its tool and the words that name its action, once."""
        runs = [call[:2] if call[0] == "/usr/bin/codesign" else call[:3] for call in self.root.calls()]
        return [run for run, _ in itertools.groupby(runs[runs.index(["/usr/bin/xattr", "-cr", self.staged_app()]):])]

    def staged_app(self):
        """The staged app's path as the tools saw it."""
        return next(call[-1] for call in self.root.calls() if call[:2] == ["/usr/bin/xattr", "-cr"])

    def test_ad_hoc_signing_is_one_deep_pass_then_the_verification(self):
        result = self.recorded_build()
        self.assertEqual(result.returncode, 0, result.stderr)
        app = self.staged_app()
        self.assertEqual(self.root.calls()[-3:], [
            ["/usr/bin/xattr", "-cr", app],
            ["/usr/bin/codesign", "--force", "--deep", "--sign", "-", app],
            ["/usr/bin/codesign", "--verify", "--deep", "--strict", app]])
        self.assertFalse(os.path.exists(self.root.kept_entitlements))
        self.assertFalse(any(call[0] in ("/usr/bin/security", "/usr/bin/xcrun") for call in self.root.calls()))

    def test_developer_id_signs_each_code_item_then_notarizes_the_verified_app_then_packages_it(self):
        write(os.path.join(self.project, "libthing.dylib"), MACH_O_64 + b"\0" * 60)
        write(os.path.join(self.project, "tool.app"), "a plain file with a bundle's name")
        write(os.path.join(self.project, "short"), MACH_O_64[:3])
        os.chmod(write(os.path.join(self.project, "run.sh"), "#!/bin/sh\necho hi\n"), 0o755)
        os.symlink("libthing.dylib", os.path.join(self.project, "libalias.dylib"))
        # A part of the certificate's name, as a user may give it; the signature still names the certificate.
        partial = IDENTITY.split(": ", 1)[1]
        result = self.recorded_build("--sign", partial, "--notary-profile", PROFILE, "--zip", "--dmg", name="My App")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLessEqual({DEVELOPER_ID, SUBMITTING}, set(result.stdout.splitlines()))
        self.assertEqual(sorted(os.listdir(self.output)), [APP, "My App.dmg", "My App.zip"])
        # A bundle signed before the code inside it fails this verification.
        self.assertSignatureVerifies(os.path.join(self.output, APP))
        app, calls = self.staged_app(), self.root.calls()
        signed = [os.path.relpath(call[-1], app) for call in calls if call[:2] == ["/usr/bin/codesign", "--force"]]
        self.assertEqual(signed[-1], ".")
        bundled = {os.path.join("Contents/Resources/app.nw", name) for name in
                   ("libthing.dylib", "tool.app", "short", "run.sh", "libalias.dylib")}
        self.assertEqual(bundled & set(signed), {"Contents/Resources/app.nw/libthing.dylib",
                                                 "Contents/Resources/app.nw/tool.app"})
        self.assertIn("Contents/MacOS/nwjs", signed)
        with open(self.root.kept_entitlements, "rb") as stream:
            entitlements = stream.read()
        self.assertTrue(entitlements.startswith(b"<?xml"))
        self.assertEqual(plistlib.loads(entitlements), {
            "com.apple.security.cs.allow-jit": True,
            "com.apple.security.cs.allow-unsigned-executable-memory": True,
            "com.apple.security.cs.disable-library-validation": True})
        self.assertEqual(self.runs_from_xattr(), [
            ["/usr/bin/xattr", "-cr", app], ["/usr/bin/codesign", "--force"], ["/usr/bin/codesign", "--verify"],
            ["/usr/bin/ditto", "-c", "-k"], ["/usr/bin/xcrun", "notarytool", "submit"],
            ["/usr/bin/xcrun", "stapler", "staple"], ["/usr/bin/xcrun", "stapler", "validate"],
            ["/usr/bin/ditto", "-c", "-k"], ["/usr/bin/hdiutil", "create", "-volname"]])
        submitted = next(call[3] for call in calls if call[1:3] == ["notarytool", "submit"])
        self.assertIn(["/usr/bin/ditto", "-c", "-k", "--sequesterRsrc", "--keepParent", app, submitted], calls)
        self.assertIn(["/usr/bin/xcrun", "stapler", "staple", app], calls)
        self.assertPackagesReadBack()

    def assertPackagesReadBack(self):
        """The stapled app validates; the ZIP and the disk image hold it as their one item, read by other readers."""
        validated = subprocess.run([os.path.join(TOOL_ROOT, "usr/bin/xcrun"), "stapler", "validate",
                                    os.path.join(self.output, APP)], capture_output=True, text=True)
        self.assertEqual(validated.returncode, 0, validated.stderr)
        with zipfile.ZipFile(os.path.join(self.output, "My App.zip")) as archive:
            self.assertIsNone(archive.testzip())
            names = archive.namelist()
            self.assertEqual({name.split("/")[0] for name in names}, {APP})
            # Signed and stapled before it was packed.
            self.assertLessEqual({APP + "/Contents/_CodeSignature/CodeResources", APP + "/Contents/CodeResources"},
                                 set(names))
            current = archive.getinfo(APP + "/Contents/Frameworks/nwjs Framework.framework/Versions/Current")
            self.assertTrue(stat.S_ISLNK(current.external_attr >> 16))
        listing = subprocess.run(["7zz", "l", "-slt", os.path.join(self.output, "My App.dmg")],
                                 capture_output=True, text=True)
        self.assertEqual(listing.returncode, 0, listing.stdout + listing.stderr)
        paths = {line[len("Path = "):] for line in listing.stdout.splitlines() if line.startswith("Path = ")}
        # 7-Zip names each entry after the volume, then the path inside it.
        self.assertLessEqual({"My App/%s/Contents/%s" % (APP, name) for name in ("Info.plist", "MacOS/nwjs",
                                                                                  "CodeResources")}, paths)

    def test_a_submission_that_is_not_accepted_fails_before_stapling(self):
        for answer in (REJECTED, '{"status":"accepted"}', '["Accepted"]', "Error: HTTP status code: 401"):
            with self.subTest(answer):
                self.root.replace("/usr/bin/xcrun", notary_script(answer))
                self.root.forget_calls()
                result = self.recorded_build("--sign", IDENTITY, "--notary-profile", PROFILE)
                self.assertEqual(result.returncode, 1)
                # The service's answer reaches the user whole, its own line feed included.
                self.assertRegex(result.stderr, r"\A(Apple did not accept the submission: %s\n|.* is not valid "
                                                r"JSON.*)\n\Z" % re.escape(answer))
                self.assertOutputEmpty()
                self.assertFalse(any(call[1:2] == ["stapler"] for call in self.root.calls()))

