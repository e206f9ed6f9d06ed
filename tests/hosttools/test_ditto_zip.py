"""ditto -x -k refuses deep archives and damaged data; what -c -k makes reads back whole in unzip, 7-Zip and
zipfile, Zip64 included. (Escaping, cut-off and bomb archives: in the CLI suite.)"""

import os
import random
import subprocess
import unittest
import zipfile

from stand_in import StandInTestCase, contents, mixed_bytes, odd_time, run, tree


def create(source, archive):
    return run("ditto", "-c", "-k", "--sequesterRsrc", "--keepParent", source, archive)


class DittoExtractTest(StandInTestCase):
    def test_an_archive_nested_too_deep_is_refused_before_anything_is_written(self):
        for depth in (256, 257):
            archive = self.path("%d.zip" % depth)
            with zipfile.ZipFile(archive, "w") as stream:
                stream.writestr("d/" * depth + "f", "x")
            result = run("ditto", "-x", "-k", archive, self.path(str(depth)))
            refusal = "ditto: The archive %s nests folders more than 256 levels deep.\n" % archive
            self.assertEqual(result.stderr, refusal if depth > 256 else "")
            self.assertEqual(os.path.exists(self.path(str(depth))), depth == 256)

    def test_damaged_deflated_data_fails_naming_the_archive(self):
        archive = self.path("corrupt.zip")
        noise = random.Random(1)
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as stream:
            stream.writestr("data.txt", " ".join(str(noise.random()) for _ in range(20000)))
        data = bytearray(contents(archive))
        data[30 + len("data.txt") + 200] ^= 0x55  # inside the deflated data
        self.write("corrupt.zip", bytes(data))
        result = run("ditto", "-x", "-k", archive, self.path("target"))
        self.assertEqual(result.returncode, 1)
        self.assertIn(archive, result.stderr)


class DittoCreateTest(StandInTestCase):
    def test_unzip_and_ditto_restore_the_one_top_folder_with_links_modes_and_times(self):
        app = self.path("Demo.app/Contents")
        self.write("Demo.app/Contents/MacOS/app", "#!/bin/sh\n", 0o755)
        self.write("Demo.app/Contents/Resources/private.txt", "secret", 0o600)
        os.makedirs(app + "/Frameworks/Kit/Versions/A")
        os.makedirs(app + "/Empty")
        os.symlink("A", app + "/Frameworks/Kit/Versions/Current")
        os.symlink("/nonexistent", app + "/dangling")
        odd_time(app + "/MacOS/app", 1_300_000_000)
        self.assertEqual(create(self.path("Demo.app/"), self.path("Demo.zip")).returncode, 0)
        names = subprocess.run(["unzip", "-Z1", self.path("Demo.zip")], capture_output=True, text=True).stdout.split()
        self.assertEqual((names[0], {name.split("/")[0] for name in names}), ("Demo.app/", {"Demo.app"}))
        subprocess.run(["unzip", "-q", self.path("Demo.zip"), "-d", self.path("unzip")], check=True)
        self.assertEqual(run("ditto", "-x", "-k", self.path("Demo.zip"), self.path("ditto")).returncode, 0)
        for reader in ("unzip", "ditto"):
            self.assertEqual(tree(self.path(reader, "Demo.app"), False), tree(self.path("Demo.app"), False), reader)
            self.assertEqual(int(os.path.getmtime(self.path(reader, "Demo.app/Contents/MacOS/app"))), 1_300_000_000)

    def test_a_failure_leaves_no_archive(self):
        self.write("Demo.app/file", "data")
        os.mkfifo(self.path("Demo.app/pipe"))
        for source, archive, named in (("Missing.app", "Missing.zip", "Missing.app"),
                                       ("Demo.app", "Demo.app/Demo.zip", "Demo.app"),
                                       ("Demo.app", "Demo.zip", "Demo.app/pipe")):
            result = create(self.path(source), self.path(archive))
            self.assertEqual(result.returncode, 1)
            self.assertIn(self.path(named), result.stderr)
            self.assertFalse(os.path.lexists(self.path(archive)))
        self.assertEqual(sorted(os.listdir(self.path("Demo.app"))), ["file", "pipe"])

    # Files are deflated in pieces on several threads: pieces finishing out of order, or joined wrongly,
    # would show in the readers' checksums.
    def test_files_of_many_pieces_read_back_whole_in_independent_readers(self):
        files = {"Frameworks/K": mixed_bytes(5_500_000), "2 pieces": b"z" * (2 << 20), "small": b"s", "empty": b""}
        for name, data in files.items():
            self.write("Big.app/Contents/" + name, data)
        archive = self.path("Big.zip")
        self.assertEqual(create(self.path("Big.app"), archive).returncode, 0)
        for reader in (["unzip", "-tq"], ["7zz", "t"]):
            tested = subprocess.run(reader + [archive], capture_output=True, text=True)
            self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)
        with zipfile.ZipFile(archive) as stream:
            for name, data in files.items():
                self.assertTrue(stream.read("Big.app/Contents/" + name) == data, name)

    def test_more_members_than_the_classic_end_record_counts_all_read_back(self):
        for index in range(65_600):
            self.write("Many.app/%d/%d" % (index % 70, index))
        archive = self.path("Many.zip")
        self.assertEqual(create(self.path("Many.app"), archive).returncode, 0)
        with zipfile.ZipFile(archive) as stream:
            self.assertEqual(len(stream.namelist()), 1 + 70 + 65_600)
        tested = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
        self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)


if __name__ == "__main__":
    unittest.main()
