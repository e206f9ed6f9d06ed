"""chflags -R nouchg and xattr -cr clear immutable flags and user attributes in a tree, never through a link."""

import os
import subprocess
import unittest

from stand_in import StandInTestCase, run

ATTRIBUTE = "user.com.example.quarantine"


def immutable(path):
    return "i" in subprocess.run(["lsattr", "-d", path], capture_output=True, text=True).stdout.split()[0]


class FlagsAndAttributesTest(StandInTestCase):
    def setUp(self):
        super().setUp()
        self.write("tree/sub/file", "data")
        self.write("outside", "data")
        os.symlink(self.path("outside"), self.path("tree/link"))

    def test_chflags_clears_the_immutable_flag_across_a_tree_but_not_through_links(self):
        marked = [self.path(name) for name in ("tree/sub/file", "tree/sub", "outside")]
        if subprocess.run(["chattr", "+i", *marked], capture_output=True).returncode != 0:
            self.skipTest("immutable flags unavailable here")
        self.addCleanup(subprocess.run, ["chattr", "-i", *marked])
        result = run("chflags", "-R", "nouchg", self.path("tree"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual([immutable(path) for path in marked], [False, False, True])

    def test_xattr_removes_user_attributes_across_a_tree_but_not_through_links(self):
        try:
            os.setxattr(self.folder, "user.probe", b"1")
        except OSError:
            self.skipTest("no user attributes here")
        for name in ("tree", "tree/sub", "tree/sub/file", "outside"):
            os.setxattr(self.path(name), ATTRIBUTE, b"1")
        os.setxattr(self.path("tree/sub/file"), "user.second", b"2")
        result = run("xattr", "-cr", self.path("tree"))
        self.assertEqual(result.returncode, 0, result.stderr)
        for name in ("tree", "tree/sub", "tree/sub/file"):
            self.assertNotIn(ATTRIBUTE, os.listxattr(self.path(name)), name)
        self.assertEqual(os.listxattr(self.path("tree/sub/file")), [])
        self.assertIn(ATTRIBUTE, os.listxattr(self.path("outside")))


if __name__ == "__main__":
    unittest.main()
