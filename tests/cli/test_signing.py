"""Signing, notarization and packaging as the tools see them: the runs, their order and their arguments."""

import os
import plistlib
import stat
import unittest
import zipfile

from harness import ADDING, PREPARING, SIGNING, TOOL_ROOT, BuildTestCase
from recording_root import RecordingRoot

IDENTITY = "Developer ID Application: Jane Doe (TEAM123456)"
LISTING = ('  1) 0123456789ABCDEF0123456789ABCDEF01234567 "%s"\n'
           '     1 valid identities found\n' % IDENTITY)
MACH_O_64 = b"\xcf\xfa\xed\xfe"
REJECTED = '{"id":"2efe2717","status":"Invalid","message":"Processing complete"}'
ACCEPTED = '{"id":"2efe2717","status":"Accepted","message":"Processing complete"}'


def notary_script(submission_output):
    """An xcrun whose notary service answers with `submission_output`."""
    return ('case "$1 $2" in\n'
            '  "--find notarytool"|"--find stapler") echo "/usr/bin/$2" ;;\n'
            "  \"notarytool submit\") printf '%%s\\n' '%s' ;;\n"
            '  "stapler staple"|"stapler validate") echo "The staple and validate action worked!" ;;\n'
            '  *) exit 64 ;;\n'
            'esac\n' % submission_output)


def depth(path):
    return len(path.strip("/").split("/"))


def enumeration(top):
    """Depth first, each folder's entries in the file system's order, links not followed."""
    for entry in os.scandir(top):
        yield entry.path
        if entry.is_dir(follow_symlinks=False):
            yield from enumeration(entry.path)


def is_code(path):
    if os.path.islink(path):
        return False
    if os.path.splitext(path)[1] in (".app", ".framework", ".xpc"):
        return True
    if not os.path.isfile(path):
        return False
    with open(path, "rb") as stream:
        return stream.read(4) in (MACH_O_64, b"\xce\xfa\xed\xfe", b"\xca\xfe\xba\xbe", b"\xbe\xba\xfe\xca")


class RecordedBuildTestCase(BuildTestCase):
    """Builds through a recording root that knows one Developer ID identity."""

    def setUp(self):
        super().setUp()
        self.root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        self.root.replace("/usr/bin/security", "printf '%s' '" + LISTING + "'\n")

    def recorded_build(self, *options, name="Demo"):
        result = self.build(*options, name=name, tool_root=self.root.path)
        self.assertNoStagingLeft()
        return result

    def calls_from(self, tool):
        calls = self.root.calls()
        first = next(index for index, call in enumerate(calls) if call[0] == tool)
        return calls[first:]

    def staged_app(self):
        """The staged app's path as the tools saw it."""
        return next(call[-1] for call in self.root.calls() if call[:2] == ["/usr/bin/xattr", "-cr"])


class SigningTest(RecordedBuildTestCase):
    def test_ad_hoc_signing_is_one_deep_pass_then_the_verification(self):
        result = self.recorded_build()
        self.assertEqual(result.returncode, 0, result.stderr)
        app = self.staged_app()
        self.assertEqual(self.calls_from("/usr/bin/xattr"), [
            ["/usr/bin/xattr", "-cr", app],
            ["/usr/bin/codesign", "--force", "--deep", "--sign", "-", app],
            ["/usr/bin/codesign", "--verify", "--deep", "--strict", app],
        ])
        self.assertFalse(os.path.exists(self.root.kept_entitlements))
        self.assertFalse(any(call[0] in ("/usr/bin/security", "/usr/bin/xcrun") for call in self.root.calls()))

    def test_a_failing_xattr_is_ignored(self):
        self.root.replace("/usr/bin/xattr", "echo 'xattr: no such attribute' >&2; exit 1\n")
        result = self.recorded_build()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines()[:3], [PREPARING, ADDING, SIGNING])

    def test_developer_id_signs_every_code_item_innermost_first_and_the_app_last(self):
        with open(os.path.join(self.project, "libthing.dylib"), "wb") as stream:
            stream.write(MACH_O_64 + b"\0" * 60)
        with open(os.path.join(self.project, "tool.app"), "w") as stream:
            stream.write("a plain file with a bundle's name")
        with open(os.path.join(self.project, "run.sh"), "w") as stream:
            stream.write("#!/bin/sh\necho hi\n")
        os.chmod(os.path.join(self.project, "run.sh"), 0o755)
        with open(os.path.join(self.project, "short"), "wb") as stream:
            stream.write(MACH_O_64[:3])
        os.symlink("libthing.dylib", os.path.join(self.project, "libalias.dylib"))
        result = self.recorded_build("--sign", IDENTITY)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Signing with Developer ID\u2026", result.stdout.splitlines())
        app = self.staged_app()
        signing = [call for call in self.root.calls() if call[:2] == ["/usr/bin/codesign", "--force"]]
        entitlements = signing[0][8]
        for call in signing:
            self.assertEqual(call[1:9], ["--force", "--sign", IDENTITY, "--timestamp", "--options", "runtime",
                                         "--entitlements", entitlements])
            self.assertEqual(len(call), 10)
        items = [call[9] for call in signing]
        self.assertEqual(items[-1], app)
        # The built app is the staged one moved; its tree is what the signing saw.
        built = os.path.join(self.output, "Demo.app")
        expected = [path for path in enumeration(built) if is_code(path)]
        expected.sort(key=depth, reverse=True)
        self.assertEqual([os.path.relpath(item, app) for item in items[:-1]],
                         [os.path.relpath(path, built) for path in expected])
        relative = [os.path.relpath(item, app) for item in items]
        for name in ("libthing.dylib", "tool.app"):
            self.assertIn("Contents/Resources/app.nw/" + name, relative)
        for name in ("run.sh", "short", "libalias.dylib", "index.html"):
            self.assertNotIn("Contents/Resources/app.nw/" + name, relative)
        self.assertFalse(any(os.path.islink(os.path.join(built, path)) for path in relative[:-1]))
        framework = "Contents/Frameworks/nwjs Framework.framework"
        self.assertGreater(relative.index(framework), max(i for i, p in enumerate(relative)
                                                          if p.startswith(framework + "/")))
        self.assertLess(relative.index("Contents/MacOS/nwjs"), len(relative) - 1)
        with open(self.root.kept_entitlements, "rb") as stream:
            text = stream.read()
        self.assertTrue(text.startswith(b"<?xml"))
        self.assertEqual(plistlib.loads(text), {
            "com.apple.security.cs.allow-jit": True,
            "com.apple.security.cs.allow-unsigned-executable-memory": True,
            "com.apple.security.cs.disable-library-validation": True,
        })
        self.assertEqual(self.calls_from("/usr/bin/xattr")[-1], ["/usr/bin/codesign", "--verify", "--deep",
                                                                  "--strict", app])

    def test_a_failing_signing_run_stops_the_items_after_it(self):
        self.root.replace("/usr/bin/codesign", 'case "$*" in *nwjs\\ Framework.framework) '
                                               'echo "$9: errSecInternalComponent"; exit 1 ;; esac\n')
        result = self.recorded_build("--sign", IDENTITY)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stderr.endswith("nwjs Framework.framework: errSecInternalComponent\n"),
                        result.stderr)
        last = self.root.calls()[-1]
        self.assertTrue(last[-1].endswith("nwjs Framework.framework"), last)
        self.assertOutputEmpty()

    def test_notarization_runs_after_the_verification_and_staples_the_app(self):
        self.root.replace("/usr/bin/xcrun", notary_script(ACCEPTED))
        result = self.recorded_build("--sign", IDENTITY, "--notary-profile", "team-profile")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Submitting to Apple for notarization. This can take several minutes\u2026",
                      result.stdout.splitlines())
        app = self.staged_app()
        archive = os.path.join(os.path.dirname(app), "notarization.zip")
        runs = [call[:3] if call[0] != "/usr/bin/codesign" else call[:2] for call in self.calls_from("/usr/bin/xattr")]
        runs = [run for index, run in enumerate(runs) if index == 0 or run != runs[index - 1]]
        self.assertEqual(runs, [["/usr/bin/xattr", "-cr", app], ["/usr/bin/codesign", "--force"],
                                ["/usr/bin/codesign", "--verify"], ["/usr/bin/ditto", "-c", "-k"],
                                ["/usr/bin/xcrun", "notarytool", "submit"], ["/usr/bin/xcrun", "stapler", "staple"],
                                ["/usr/bin/xcrun", "stapler", "validate"]])
        calls = self.root.calls()
        self.assertIn(["/usr/bin/ditto", "-c", "-k", "--sequesterRsrc", "--keepParent", app, archive], calls)
        self.assertIn(["/usr/bin/xcrun", "notarytool", "submit", archive, "--keychain-profile", "team-profile",
                       "--wait", "--output-format", "json"], calls)
        self.assertEqual(calls[-1], ["/usr/bin/xcrun", "stapler", "validate", app])
        self.assertEqual(sorted(os.listdir(self.output)), ["Demo.app"])

    def test_a_submission_that_is_not_accepted_fails_before_stapling(self):
        for answer, message in ((REJECTED, "Apple did not accept the submission: " + REJECTED + "\n"),
                                ('{"status":"accepted"}', None), ('["Accepted"]', None),
                                ("Error: HTTP status code: 401", "is not valid JSON")):
            self.root.replace("/usr/bin/xcrun", notary_script(answer))
            result = self.recorded_build("--sign", IDENTITY, "--notary-profile", "team-profile")
            self.assertEqual(result.returncode, 1, answer)
            if message and message.startswith("Apple"):
                self.assertEqual(result.stderr, message + "\n")
            elif message:
                self.assertIn(message, result.stderr)
            else:
                self.assertTrue(result.stderr.startswith("Apple did not accept the submission: " + answer), answer)
            self.assertFalse(any(call[1:2] == ["stapler"] for call in self.root.calls()), answer)
            self.assertOutputEmpty()


class PackagingTest(RecordedBuildTestCase):
    def test_the_zip_holds_the_signed_app_as_its_one_top_level_entry(self):
        result = self.recorded_build("--zip", name="My App")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines()[3], "Creating ZIP\u2026")
        app = self.staged_app()
        self.assertIn(["/usr/bin/ditto", "-c", "-k", "--sequesterRsrc", "--keepParent", app,
                       os.path.join(os.path.dirname(app), "My App.zip")], self.root.calls())
        self.assertEqual(sorted(os.listdir(self.output)), ["My App.app", "My App.zip"])
        with zipfile.ZipFile(os.path.join(self.output, "My App.zip")) as archive:
            names = archive.namelist()
            self.assertEqual({name.split("/")[0] for name in names}, {"My App.app"})
            self.assertIn("My App.app/Contents/_CodeSignature/CodeResources", names)
            current = archive.getinfo("My App.app/Contents/Frameworks/nwjs Framework.framework/Versions/Current")
            self.assertTrue(stat.S_ISLNK(current.external_attr >> 16))

    def test_a_failing_disk_image_after_the_zip_leaves_nothing_behind(self):
        self.root.replace("/usr/bin/hdiutil", "echo 'hdiutil: create failed - No space left on device'; exit 1\n")
        result = self.recorded_build("--zip", "--dmg", name="My App")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, "hdiutil: create failed - No space left on device\n")
        self.assertEqual(result.stdout.splitlines()[3:], ["Creating ZIP\u2026", "Creating DMG\u2026"])
        app = self.staged_app()
        self.assertEqual(self.root.calls()[-1], [
            "/usr/bin/hdiutil", "create", "-volname", "My App", "-srcfolder", app, "-ov", "-format", "UDZO",
            os.path.join(os.path.dirname(app), "My App.dmg")])
        self.assertOutputEmpty()


if __name__ == "__main__":
    unittest.main()
