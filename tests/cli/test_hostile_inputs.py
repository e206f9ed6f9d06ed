"""Broken and hostile runtimes and projects: each build succeeds whole or fails with a clear error, writes
only in its staging and output folders, leaves no staging folder and ends in bounded time."""

import os
import shutil
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import warnings
import zipfile

from harness import BuildTestCase, bundled_project_hash, mount_memory_file_system, tree_hash

CASE_SECONDS = 30
NOBODY = 65534
TALLY = {"tried": 0, "survived": 0}
# Past the stand-in ditto's floor of 512 MiB, so the runtime archive holding it may not unpack that far.
BOMB_BYTES = 600 << 20
DEEPER = "deeper folder"


def tearDownModule():
    print("\nhostile cases tried: %(tried)d, survived: %(survived)d" % TALLY, file=sys.stderr)


def entry(name, data=b"", mode=0o644, kind=stat.S_IFREG):
    info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = (kind | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


def declare_last_entry_size(path, size):
    """Makes the archive's last entry declare `size` bytes in both its headers, whatever it holds."""
    with open(path, "rb") as stream:
        data = bytearray(stream.read())
    central = data.rfind(b"PK\x01\x02")
    local = struct.unpack_from("<I", data, central + 42)[0]
    struct.pack_into("<I", data, central + 24, size)
    struct.pack_into("<I", data, local + 22, size)
    with open(path, "wb") as stream:
        stream.write(data)


class HostileTestCase(BuildTestCase):
    """Everything in the test's folder but the staging and output folders is a sentinel: the project,
    the runtimes and a folder of secrets a hostile input might aim at."""

    def setUp(self):
        super().setUp()
        self.sentinel = os.path.join(self.folder, "sentinel")
        os.makedirs(self.sentinel)
        with open(os.path.join(self.sentinel, "secret"), "w") as stream:
            stream.write("keep")
        os.chmod(os.path.join(self.sentinel, "secret"), 0o400)
        self.runtime()

    def outside_the_build(self):
        return tree_hash(self.folder, leave_out=lambda relative: relative.split(os.sep)[0] in ("tmp", "out"))

    def project_hash(self, project):
        return tree_hash(project)

    def hostile_build(self, case, refusal=None, seconds=CASE_SECONDS, **arguments):
        """One case: a build that must succeed, with the whole project in its app, when `refusal` is None,
        and otherwise fail with a message holding it. Returns the app when it was built."""
        TALLY["tried"] += 1
        app = None
        with self.subTest(case):
            before = self.outside_the_build()
            started = time.monotonic()
            result = self.build(**arguments)
            self.assertLess(time.monotonic() - started, seconds)
            if refusal is None:
                self.assertEqual(result.returncode, 0, result.stderr)
                app = os.path.join(self.output, "Demo.app")
                self.assertEqual(bundled_project_hash(app), self.project_hash(arguments.get("project", self.project)))
            else:
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(refusal, result.stderr)
                self.assertTrue(result.stderr.endswith("\n"), result.stderr)
                self.assertOutputEmpty()
            self.assertEqual(os.listdir(self.temporary), [])
            self.assertEqual(self.outside_the_build(), before, "something outside the build's folders changed")
            TALLY["survived"] += 1
        return app

    def clear_output(self):
        shutil.rmtree(self.output, ignore_errors=True)


class HostileArchiveTest(HostileTestCase):
    def setUp(self):
        super().setUp()
        with zipfile.ZipFile(self.runtime()) as runtime:
            self.top = runtime.namelist()[0].split("/")[0]

    def in_app(self, relative):
        return "%s/nwjs.app/%s" % (self.top, relative)

    def hostile_zip(self, name, entries):
        """The generated runtime zip with `entries` (pairs of ZipInfo and data) added after its own."""
        path = os.path.join(self.folder, name.replace(" ", "-") + ".zip")
        with zipfile.ZipFile(self.runtime()) as source, zipfile.ZipFile(path, "w") as target:
            for item in source.infolist():
                target.writestr(item, source.read(item))
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")  # zipfile warns of the duplicate names written on purpose
                for info, data in entries:
                    target.writestr(info, data)
        return path

    def archive_build(self, case, entries, refusal=None):
        self.hostile_build(case, refusal, runtime=self.hostile_zip(case, entries))
        self.clear_output()

    def test_entries_that_would_land_outside_are_refused(self):
        escaped = os.path.join(self.folder, "escaped")
        planted = os.path.join(self.sentinel, "planted")
        cases = {
            "dot-dot": [entry("../../../escaped", b"x")],
            "dot-dot inside": [entry(self.top + "/../../../../escaped", b"x")],
            "absolute": [entry(escaped, b"x")],
            "absolute link then through it": [entry(self.top + "/out", self.sentinel.encode(), 0o777, stat.S_IFLNK),
                                              entry(self.top + "/out/planted", b"x")],
            "relative link then through it": [entry(self.top + "/up", b"../../../sentinel", 0o777, stat.S_IFLNK),
                                              entry(self.top + "/up/planted", b"x")],
        }
        for case, entries in cases.items():
            self.archive_build(case, entries, "ditto: Refused to extract the entry '%s'" % entries[-1][0].filename)
            self.assertFalse(os.path.lexists(escaped) or os.path.lexists(planted), case)

    def test_odd_but_harmless_entries_build(self):
        twice = self.in_app("Contents/Resources/twice.txt")
        self.archive_build("duplicate entries", [entry(twice, b"first"), entry(twice, b"second")])
        folder_then_file = self.in_app("Contents/Resources/both")
        self.archive_build("a folder and a file of one name", [entry(folder_then_file + "/", b"", 0o755, stat.S_IFDIR),
                                                              entry(folder_then_file, b"file")])
        invalid = self.hostile_zip("invalid", [entry(self.in_app("Contents/Resources/name-@@.txt"), b"x")])
        with open(invalid, "rb") as stream:
            content = stream.read()
        with open(invalid, "wb") as stream:
            stream.write(content.replace(b"name-@@", b"name-\xff\xfe"))
        self.hostile_build("a name that is not UTF-8", runtime=invalid)
        self.clear_output()
        setuid = self.hostile_zip("setuid", [entry(self.in_app("Contents/Resources/tool"), b"#!/bin/sh\n", 0o6755)])
        app = self.hostile_build("a set-user-ID entry", runtime=setuid)
        self.assertEqual(os.stat(os.path.join(app, "Contents/Resources/tool")).st_mode & 0o7777, 0o755)
        self.clear_output()
        self.archive_build("a line feed in a name", [entry(self.in_app("Contents/Resources/line\nbreak.txt"), b"x")])

    def test_zip_bombs_are_refused(self):
        bomb = self.hostile_zip("bomb", [])
        with zipfile.ZipFile(bomb, "a") as archive:
            with archive.open(entry(self.in_app("Contents/Resources/zeros.bin"))[0], "w") as stream:
                for _ in range(BOMB_BYTES >> 20):
                    stream.write(bytes(1 << 20))
        self.assertLess(os.path.getsize(bomb), 4 << 20)
        self.hostile_build("a zip bomb", "its entries declare", runtime=bomb)
        declare_last_entry_size(bomb, 1000)
        self.hostile_build("a zip bomb declaring less than it holds", "of the archive %s: " % bomb, runtime=bomb)

    def test_broken_archives_are_refused(self):
        with open(self.runtime(), "rb") as stream:
            whole = stream.read()
        replaced = [entry(self.in_app("Contents/MacOS/nwjs"), b"#!/bin/sh\n", 0o755)]
        self.archive_build("an entry over the runtime's executable", replaced, "is not a Mach-O file")
        unreadable = "ditto: Could not read the archive "
        for case, data in (("cut in half", whole[:len(whole) // 2]), ("cut before its end", whole[:-30]),
                           ("empty", b""), ("text", b"not an archive\n")):
            path = os.path.join(self.folder, case.replace(" ", "-") + ".zip")
            with open(path, "wb") as stream:
                stream.write(data)
            self.hostile_build(case, unreadable + path, runtime=path)
        fifo = os.path.join(self.folder, "pipe.zip")
        os.mkfifo(fifo)
        self.hostile_build("a FIFO", "ditto: The archive %s is not a regular file." % fifo, runtime=fifo)


class HostileProjectTest(HostileTestCase):
    def fresh_project(self, case):
        """An unaltered copy of the example for each case, so that one case's oddity cannot mask another's."""
        self.project = os.path.join(self.folder, case.replace(" ", "-"))
        shutil.copytree(os.path.join(self.folder, "project"), self.project, symlinks=True)
        return self.project

    def project_build(self, case, refusal=None, **arguments):
        self.hostile_build(case, refusal, project=self.project, **arguments)
        self.clear_output()

    def test_links_are_copied_as_links_and_never_followed(self):
        project = self.fresh_project("loops")
        os.symlink("loop-b", os.path.join(project, "loop-a"))
        os.symlink("loop-a", os.path.join(project, "loop-b"))
        os.symlink(".", os.path.join(project, "itself"))
        self.project_build("symlink loops")
        outside_link = "invalid destination for symbolic link in bundle"
        for case, target in (("an absolute link out", os.path.join(self.sentinel, "secret")),
                             ("an absolute link to a folder out", self.sentinel),
                             ("a relative link out of the app", "../../../../sentinel/secret")):
            os.symlink(target, os.path.join(self.fresh_project(case), "outside"))
            self.project_build(case, outside_link)
        # Out of the project, but inside the app once there: a dangling link like any other.
        os.symlink("../sentinel/secret", os.path.join(self.fresh_project("relative"), "outside"))
        self.project_build("a relative link out of the project")

    def test_special_files_are_refused_without_being_read(self):
        os.mkfifo(os.path.join(self.fresh_project("a FIFO"), "pipe"))
        self.project_build("a FIFO", "it is not a regular file, folder or symbolic link")
        listening = socket.socket(socket.AF_UNIX)
        self.addCleanup(listening.close)
        listening.bind(os.path.join(self.fresh_project("a socket"), "socket"))
        self.project_build("a socket", "Cannot copy a socket or device file")
        os.mknod(os.path.join(self.fresh_project("a device"), "null"), 0o600 | stat.S_IFCHR, os.makedev(1, 3))
        self.project_build("a device", "Cannot copy a socket or device file")

    def write(self, relative, data=b"x"):
        """Writes a file into the project; `relative` may be bytes, for names that are not UTF-8."""
        path = os.path.join(os.fsencode(self.project), os.fsencode(relative))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(data)
        return os.fsdecode(path)

    def test_odd_names_build_whole(self):
        self.fresh_project("odd names")
        for name in ("with blank.txt", "it's \"quoted\".txt", "caf\u00e9 \u00fcber \u65e5\u672c.txt", "$(touch x)`y`",
                     "-rf", "n" * 255):
            self.write(os.path.join("odd names", name))
        self.project_build("blanks, quotes, letters beyond ASCII, a leading dash, the longest name")
        self.fresh_project("invalid")
        self.write(b"name-\xff\xfe.txt")
        self.project_build("a name that is not UTF-8")
        self.fresh_project("line feed")
        self.write("line\nbreak.txt")
        self.project_build("a line feed in a name")

    def deep_folder(self, levels):
        """`levels` folders inside each other, a file at the bottom."""
        current = os.open(self.project, os.O_RDONLY | os.O_DIRECTORY)
        for _ in range(levels):
            os.mkdir(DEEPER, dir_fd=current)
            deeper = os.open(DEEPER, os.O_RDONLY | os.O_DIRECTORY, dir_fd=current)
            os.close(current)
            current = deeper
        with open(os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=current), "w") as stream:
            stream.write("bottom")
        os.close(current)

    def test_very_deep_nesting(self):
        self.fresh_project("deep")
        self.deep_folder(120)
        self.project_build("120 folders deep")
        # As deep as a path may be; the copy in the staging folder, whose path is longer, cannot be.
        project = self.fresh_project("as deep as can be")
        self.deep_folder((os.pathconf(project, "PC_PATH_MAX") - len(project + "/bottom.txt") - 1) // len(DEEPER + "/"))
        self.project_build("as deep as a path may be", "File name too long")

    def test_unreadable_files_for_a_user_without_privileges(self):
        self.fresh_project("unreadable file")
        os.chmod(self.write("private.txt"), 0o600)
        self.fresh_project("unreadable folder")
        os.chmod(os.path.dirname(self.write("private/file.txt")), 0o700)
        subprocess.run(["chown", "-R", "%d:%d" % (NOBODY, NOBODY), self.folder], check=True)
        for case, private in (("unreadable file", "private.txt"), ("unreadable folder", "private")):
            self.project = os.path.join(self.folder, case.replace(" ", "-"))
            os.chown(os.path.join(self.project, private), 0, 0)
            self.project_build("an " + case, "Permission denied", preexec_fn=lambda: (os.setgid(NOBODY),
                                                                                          os.setuid(NOBODY)))


# Under the sanitizers the build takes over eight minutes, and it runs the code paths of the small
# cases, only 100,000 times over.
@unittest.skipIf(os.environ.get("BUNDLEKILN_SANITIZED"), "too slow under the sanitizers; the small cases run")
class ManySmallFilesTest(HostileTestCase):
    """100,000 small files, written and hashed once. The project, staging and output folders are in
    memory: on a busy disk, writing the files would take most of the suite's time."""

    @classmethod
    def setUpClass(cls):
        cls.memory = tempfile.mkdtemp(prefix="bundlekiln-many-")
        cls.addClassCleanup(shutil.rmtree, cls.memory)
        mount_memory_file_system(cls.memory, 2048, cls.addClassCleanup)
        cls.many = os.path.join(cls.memory, "project")
        shutil.copytree(os.environ["BUNDLEKILN_EXAMPLE_PROJECT"], cls.many)
        for folder in range(100):
            os.makedirs(os.path.join(cls.many, "many", str(folder)))
            for index in range(1000):
                with open(os.path.join(cls.many, "many", str(folder), str(index)), "w") as stream:
                    stream.write(str(index))
        cls.many_hash = tree_hash(cls.many)

    def setUp(self):
        super().setUp()
        self.temporary, self.output = os.path.join(self.memory, "tmp"), os.path.join(self.memory, "out")
        os.makedirs(self.temporary)

    def project_hash(self, project):
        return self.many_hash if project == self.many else super().project_hash(project)

    def test_many_small_files_build_whole(self):
        self.assertIsNotNone(self.hostile_build("100,000 small files", project=self.many, seconds=150))
        self.assertEqual(tree_hash(self.many), self.many_hash, "the project changed")


if __name__ == "__main__":
    unittest.main()
