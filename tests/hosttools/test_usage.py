"""Each stand-in refuses any form the engine does not send: one usage line, status 64, and nothing touched."""

import os
import unittest

from stand_in import StandInTestCase, run


class UsageTest(StandInTestCase):
    def test_unknown_argument_forms_get_status_64_and_one_line(self):
        path, dmg = self.folder, self.path("A.dmg")
        submit = ["notarytool", "submit", path, "--keychain-profile", "p"]
        create = ["create", "-volname", "A", "-srcfolder", path]
        cases = [
            ("lipo", []), ("lipo", ["-info", path]), ("lipo", ["-archs", path, path]),
            ("ditto", [path]), ("ditto", ["-V", path, path]), ("ditto", [path, path, path]),
            ("ditto", ["-x", path, path]), ("ditto", ["-k", "-x", path, path]),
            ("ditto", ["-c", "-k", "--keepParent", path, path]),
            ("ditto", ["-c", "-k", "--sequesterRsrc", "--keepParent", "-v", path]),
            ("chflags", ["nouchg", path]), ("chflags", ["-R", "uchg", path]),
            ("xattr", ["-c", path]), ("xattr", ["-d", "user.x", path]),
            ("codesign", ["--sign", "-", path]), ("codesign", ["--force", "--deep", "--sign", "Jo", path]),
            ("codesign", ["--verify", "--deep", path]),
            ("xcrun", []), ("xcrun", ["-f", "notarytool"]), ("xcrun", ["--find", "notarytool", "stapler"]),
            ("xcrun", submit + ["--output-format", "json"]), ("xcrun", submit + ["--wait", "--output-format", "plist"]),
            ("xcrun", ["notarytool", "history", "--keychain-profile", "p"]),
            ("xcrun", ["stapler", "staple", "-v", path]), ("xcrun", ["stapler", "remove", path]),
            ("sips", ["-z", "16", "16", "in.png"]), ("sips", ["-Z", "16", "16", "a", "--out", "b"]),
            ("sips", ["-z", "0", "16", "a", "--out", "b"]), ("sips", ["-z", "16", "x", "a", "--out", "b"]),
            ("sips", ["-z", "16", "99999", "a", "--out", "b"]),
            ("iconutil", ["-c", "iconset", path, "-o", "x"]),
            ("security", ["find-identity", "-p", "codesigning"]), ("security", ["find-identity", "-v", "-p", "basic"]),
            ("hdiutil", create + ["-format", "UDZO", dmg]), ("hdiutil", create + ["-ov", "-format", "UDRW", dmg]),
            ("hdiutil", ["create", "-srcfolder", path, "-volname", "A", "-ov", "-format", "UDZO", dmg]),
            ("hdiutil", create + ["-ov", "-format", "UDZO", self.path("A.img")]),
            ("hdiutil", create + ["-ov", "-format", "UDZO", dmg, "-quiet"]), ("hdiutil", ["attach", dmg]),
        ]
        for tool, arguments in cases:
            with self.subTest(tool=tool, arguments=arguments):
                result = run(tool, *arguments)
                self.assertEqual((result.returncode, result.stdout), (64, ""))
                self.assertRegex(result.stderr, "^usage: %s [^\n]*\n$" % tool)
        self.assertEqual(os.listdir(self.folder), [])


if __name__ == "__main__":
    unittest.main()
