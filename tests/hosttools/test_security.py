"""security find-identity lists the stand-in keychain as the real listing does: fingerprints given or derived,
comments skipped, the file where it is configured, malformed lines refused. (A name alone: in the CLI suite.)"""

import hashlib
import os
import unittest

from stand_in import StandInTestCase, run


def line(number, fingerprint, name):
    return '  %d) %s "%s"\n' % (number, fingerprint or hashlib.sha1(name.encode()).hexdigest().upper(), name)


class SecurityTest(StandInTestCase):
    def find_identity(self, keychain=None):
        environment = {name: value for name, value in os.environ.items() if name != "BUNDLEKILN_KEYCHAIN"}
        environment.update({"BUNDLEKILN_KEYCHAIN": keychain} if keychain else {"XDG_CONFIG_HOME": self.folder})
        return run("security", "find-identity", "-v", "-p", "codesigning", env=environment)

    def test_keychain_files_are_listed_in_the_real_layout(self):
        given, derived, default = "Developer ID Application: Jo (AB12)", "Apple Development: Jo (ZZ99)", "Default"
        keychain = self.write("keychain", "# stand-in keychain\n0123456789abcdef0123456789abcdef01234567 %s\n\n%s\n"
                              % (given, derived))
        self.write("bundlekiln/keychain", default + "\n")
        cases = [(keychain, line(1, "0123456789ABCDEF0123456789ABCDEF01234567", given) + line(2, None, derived)
                  + "     2 valid identities found\n"),
                 (self.path("missing"), "     0 valid identities found\n"),
                 (None, line(1, None, default) + "     1 valid identities found\n")]
        for path, listing in cases:
            result = self.find_identity(path)
            self.assertEqual((result.returncode, result.stdout), (0, listing), result.stderr)
        malformed = self.find_identity(self.write("malformed", 'Developer ID Application: "Quoted"\n'))
        self.assertEqual(malformed.returncode, 1)
        self.assertIn("Line 1", malformed.stderr)


if __name__ == "__main__":
    unittest.main()
