"""codesign seals a bundle and each bundle inside it, whatever the names; --verify --deep --strict names each
change since, and hashlib checks the page digests. (A link chain that leaves the app: in the CLI suite.)"""

import hashlib
import os
import subprocess
import unittest

from stand_in import StandInTestCase, contents, run

MIB = 1 << 20


class CodesignTest(StandInTestCase):
    def setUp(self):
        super().setUp()
        self.app = self.path("Demo.app")
        self.framework = self.path("Demo.app/Contents/Frameworks/Demo Framework.framework")
        self.write("Demo.app/Contents/Info.plist", "<plist/>\n")
        self.write("Demo.app/Contents/MacOS/Demo", "binary\n")
        self.write(self.framework + "/Versions/A/Framework", b"x" * (3 * MIB + 5))
        os.symlink("Versions/A", self.framework + "/Current")
        # Names whose walk order differs from plain byte order, and names the seal must escape.
        for name in ("a/x", "a.b", "a-b", "a0", "b&<c>", "line\nbreak", "carriage\rreturn"):
            self.write("Demo.app/Contents/Resources/" + name, name)

    def sign(self):
        return run("codesign", "--force", "--deep", "--sign", "-", self.app)

    def verify(self):
        return run("codesign", "--verify", "--deep", "--strict", self.app)

    def test_what_it_sealed_verifies_and_every_change_is_named(self):
        self.assertEqual(self.sign().returncode, 0)
        self.assertEqual(self.verify().returncode, 0, self.verify().stderr)
        self.assertTrue(os.path.isfile(self.framework + "/_CodeSignature/CodeResources"))
        self.write("Demo.app/Contents/Resources/a.b", "changed")
        subprocess.run(["rm", "-r", self.app + "/Contents/Resources/a"], check=True)
        self.write(self.framework + "/Versions/A/Extra", "new")
        with open(self.framework + "/Versions/A/Framework", "r+b") as binary:
            binary.seek(3 * MIB + 4)  # the last byte of the last page
            binary.write(b"y")
        result = self.verify()
        self.assertEqual(result.returncode, 1)
        framework, resources = self.framework + "/Versions/A/", self.app + "/Contents/Resources/"
        reason = self.app + ": a sealed resource is missing or invalid"
        # The app's seal covers the framework's files too; nothing unchanged is reported.
        self.assertEqual(result.stderr.splitlines(), [
            reason, "file modified: " + framework + "Framework", "file missing: " + resources + "a",
            "file missing: " + resources + "a/x", "file modified: " + resources + "a.b",
            "file added: " + framework + "Extra", reason, "In subcomponent: " + self.framework,
            "file modified: " + framework + "Framework", "file added: " + framework + "Extra"])

    def test_links_are_judged_where_they_resolve_and_no_seal_is_written_through_one(self):
        leaving = {"q": ".", "boot.js": "q/q/q/../../secret"}
        cases = [(leaving, "boot.js: invalid destination for symbolic link in bundle\n"),
                 ({"Contents/_CodeSignature": "Resources"},
                  "Contents/_CodeSignature is a symbolic link; nothing is written through one.\n"),
                 ({"Contents/dangling": "../missing/../Contents"}, "")]
        for links, refusal in cases:
            with self.subTest(links=links):
                for link, target in links.items():
                    os.symlink(target, os.path.join(self.app, link))
                result = self.sign()
                self.assertEqual(result.returncode, 1 if refusal else 0)
                self.assertTrue(result.stderr.endswith(refusal), result.stderr)
                if links is leaving:  # verifying refuses what signing would
                    self.assertIn("bundle\nIn subcomponent: %s/boot.js\n" % self.app, self.verify().stderr)
                for link in links:
                    os.remove(os.path.join(self.app, link))
        self.assertFalse(os.path.exists(self.app + "/Contents/Resources/CodeResources"))

    def test_the_seal_records_the_digest_of_each_page_in_order(self):
        self.assertEqual(self.sign().returncode, 0)
        data = contents(self.framework + "/Versions/A/Framework")
        pages = b"".join(hashlib.sha256(data[at:at + MIB]).digest() for at in range(0, len(data), MIB))
        recorded = "<key>Versions/A/Framework</key><string>file:%s</string>" % hashlib.sha256(pages).hexdigest()
        self.assertIn(recorded, contents(self.framework + "/_CodeSignature/CodeResources").decode())

    def test_unsigned_and_damaged_seals_are_refused(self):
        result = self.verify()
        self.assertEqual(result.returncode, 1)
        self.assertIn(self.app + ": code object is not signed at all\n", result.stderr)
        self.assertEqual(self.sign().returncode, 0)
        seal = self.app + "/Contents/_CodeSignature/CodeResources"
        text = contents(seal)
        self.write(seal, text[:len(text) // 2])
        result = self.verify()
        self.assertEqual((result.returncode, result.stderr),
                         (1, "codesign: %s: the code signature is damaged.\n" % seal))


if __name__ == "__main__":
    unittest.main()
