"""Builds that run out of room: a clear error, no staging folder, nothing half-moved in the output folder."""

import os
import resource
import unittest

from harness import BuildTestCase, mount_memory_file_system, tree_hash


def limit_file_size(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


class DiskFullTest(BuildTestCase):
    def setUp(self):
        super().setUp()
        self.inputs = None

    def add_large_file(self, megabytes):
        with open(os.path.join(self.project, "large.bin"), "wb") as stream:
            stream.write(os.urandom(megabytes << 20))

    def build(self, *options, **arguments):
        self.inputs = (tree_hash(self.project), tree_hash(self.runtime()))
        return super().build(*options, **arguments)

    def assertFailedCleanly(self, result, case):
        self.assertEqual(result.returncode, 1, "%s: %s" % (case, result.stderr))
        self.assertTrue(result.stderr.strip(), case)
        self.assertNoStagingLeft()
        self.assertOutputEmpty()
        self.assertEqual((tree_hash(self.project), tree_hash(self.runtime())), self.inputs, case)

    def small_file_system(self, name, megabytes):
        path = os.path.join(self.folder, name)
        mount_memory_file_system(path, megabytes, self.addCleanup)
        return path

    def test_writes_beyond_the_file_size_limit(self):
        self.add_large_file(3)
        # In turn: the runtime's unpacking, the project copy, the ZIP (each of its files fits, the whole does not).
        for case, limit in (("unpacking", 64 << 10), ("project copy", 2 << 20), ("packaging", int(3.5 * (1 << 20)))):
            result = self.build("--zip", preexec_fn=limit_file_size(limit))
            self.assertFailedCleanly(result, case)

    def test_a_full_staging_file_system(self):
        self.add_large_file(6)
        result = self.build("--zip", temporary=self.small_file_system("small-tmp", 8))
        self.assertFailedCleanly(result, "staging")
        self.assertEqual(os.listdir(os.path.join(self.folder, "small-tmp")), [])

    def test_a_full_output_file_system(self):
        # Too small for the app, then big enough for the app but not for its ZIP as well: the app that
        # was already moved stays, whole; the ZIP's partial copy goes.
        for megabytes, left in ((1, []), (2, ["Demo.app"])):
            self.output = os.path.join(self.small_file_system("small-out-%d" % megabytes, megabytes), "out")
            result = self.build("--zip")
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn("No space left on device", result.stderr)
            self.assertNoStagingLeft()
            self.assertEqual(os.listdir(self.output), left)
            for app in left:
                self.assertSignatureVerifies(os.path.join(self.output, app))


if __name__ == "__main__":
    unittest.main()
