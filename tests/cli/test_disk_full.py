"""Builds that run out of room: a clear error, no staging folder, nothing half-moved in the output folder."""

import os
import resource

from harness import ADDING, PREPARING, BuildTestCase, mount_memory_file_system, write


def limit_file_size(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


class DiskFullTest(BuildTestCase):
    def setUp(self):
        super().setUp()
        write(os.path.join(self.project, "large.bin"), os.urandom(6 << 20))
        self.before = self.inputs()

    def small_file_system(self, name, megabytes):
        return mount_memory_file_system(os.path.join(self.folder, name), megabytes, self.addCleanup)

    def assertFailedWithInputsKept(self, result, case):
        self.assertFailedCleanly(result)
        self.assertEqual(self.inputs(), self.before, case)

    def test_writes_beyond_the_file_size_limit(self):
        # In turn: the runtime's unpacking, the project copy, the ZIP (each of its files fits, the whole does not).
        for limit, step in ((64 << 10, PREPARING), (4 << 20, ADDING), (7 << 20, "Creating ZIP\u2026")):
            with self.subTest(step):
                result = self.build("--zip", preexec_fn=limit_file_size(limit))
                self.assertFailedWithInputsKept(result, step)
                self.assertEqual(result.stdout.splitlines()[-1], step)

    def test_a_full_staging_file_system(self):
        self.temporary = self.small_file_system("small-tmp", 8)
        self.assertFailedWithInputsKept(self.build("--zip"), "staging")
        self.assertEqual(os.listdir(self.temporary), [])

    def test_a_full_output_file_system(self):
        # Too small for the app, then big enough for the app but not for its ZIP as well: the app that
        # was already moved stays, whole; the ZIP's partial copy goes.
        for megabytes, left in ((4, []), (9, ["Demo.app"])):
            with self.subTest(megabytes=megabytes):
                self.output = os.path.join(self.small_file_system("small-out-%d" % megabytes, megabytes), "out")
                result = self.build("--zip")
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("No space left on device", result.stderr)
                self.assertNoStagingLeft()
                self.assertEqual(os.listdir(self.output), left)
                for app in left:
                    self.assertSignatureVerifies(os.path.join(self.output, app))

