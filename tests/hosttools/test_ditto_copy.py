"""ditto SRC DST keeps links, modes and nanosecond times, and never writes outside, over its source or a folder."""

import os
import random
import unittest

from stand_in import StandInTestCase, contents, odd_time, run, tree


class DittoCopyTest(StandInTestCase):
    def sample_tree(self, root):
        """Every kind of entry ditto keeps, odd modes, a file of several chunks, times set after contents."""
        self.write(root + "/big.bin", random.Random(7).randbytes(3 * 1024 * 1024 + 17))
        self.write(root + "/private.txt", "secret", 0o700)
        self.write(root + "/bin/tool", "#!/bin/sh\n", 0o755)
        os.mkdir(self.path(root, "empty"), 0o500)
        os.symlink("bin/tool", self.path(root, "relative-link"))
        os.symlink("/nonexistent/target", self.path(root, "dangling-link"))
        os.symlink("bin", self.path(root, "folder-link"))
        for seconds, name in enumerate(["private.txt", "bin/tool", "big.bin", "relative-link", "dangling-link",
                                        "folder-link", "empty", "bin", ""]):
            odd_time(self.path(root, name), 1_000_000_000 + 1000 * seconds)

    def test_keeps_links_modes_and_times_in_a_new_or_a_filled_destination(self):
        self.sample_tree("source")
        result = run("ditto", self.path("source"), self.path("new/parents/copy"))
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))
        self.assertTrue(tree(self.path("new/parents/copy")) == tree(self.path("source")))
        # A merge keeps what else is there, replaces a read-only file, and never writes through a link.
        self.write("merged/unrelated.txt", "kept")
        self.write("merged/private.txt", "old contents", 0o444)
        os.mkdir(self.path("outside"))
        os.symlink(self.path("outside"), self.path("merged/bin"))
        self.assertEqual(run("ditto", self.path("source"), self.path("merged")).returncode, 0)
        self.assertEqual(os.listdir(self.path("outside")), [])
        merged = tree(self.path("merged"))
        self.assertEqual(merged.pop("unrelated.txt")[2], b"kept")
        self.assertTrue(merged == tree(self.path("source")))

    def test_refusals_name_what_is_wrong_in_one_short_line_and_change_nothing(self):
        source, deep, long = self.path("source"), self.path("Deep.app"), self.path("Long.app")
        self.write("source/file.txt", "data")
        self.write("other/file.txt/inside.txt", "must survive")
        os.makedirs(os.path.join(deep, *["d"] * 257))
        pipe = os.path.join(long, *["n" * 20] * 60, "pipe")
        os.makedirs(os.path.dirname(pipe))
        os.mkfifo(pipe)
        cases = [((source, source), source),
                 ((source, source + "/sub/copy"), source),
                 ((source, self.path("other")), self.path("other/file.txt")),
                 ((self.path("missing"), self.path("never")), self.path("missing")),
                 ((deep, self.path("copy")), "The folder %s nests folders more than 256 levels deep." % deep),
                 ((long, self.path("copy")), "Could not copy %s/\u2026/pipe: it is a device, socket or FIFO." % long)]
        for paths, message in cases:
            with self.subTest(paths=paths):
                result = run("ditto", *paths)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
        self.assertEqual(os.listdir(source), ["file.txt"])
        self.assertEqual(contents(self.path("other/file.txt/inside.txt")), b"must survive")
        self.assertFalse(os.path.exists(self.path("never")))


if __name__ == "__main__":
    unittest.main()
