"""Broken and hostile runtimes and projects: each build ends in success or a clear error, writes only
where it may, and ends in bounded time."""

import os
import shutil
import stat
import struct
import subprocess
import sys
import time
import unittest
import zipfile

from harness import BuildTestCase, bundled_project_hash, tree_hash

CASE_SECONDS = 90
NOBODY = 65534


def entry(name, data=b"", mode=0o644, kind=stat.S_IFREG):
    info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = (kind | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


class HostileTestCase(BuildTestCase):
    """Everything in the test's folder but the staging and output folders is a sentinel."""

    def setUp(self):
        super().setUp()
        self.sentinel = os.path.join(self.folder, "sentinel")
        os.makedirs(self.sentinel)
        with open(os.path.join(self.sentinel, "secret"), "w") as stream:
            stream.write("keep")
        os.chmod(os.path.join(self.sentinel, "secret"), 0o400)
        self.tried = 0
        self.runtime()

    def around(self):
        return tree_hash(self.folder, leave_out=lambda relative: relative.split("/")[0] in ("tmp", "out"))

    def assertSound(self, result, started, case):
        self.assertLess(time.monotonic() - started, CASE_SECONDS, case)
        self.assertIn(result.returncode, (0, 1), "%s: %s" % (case, result.stderr))
        if result.returncode == 1:
            self.assertTrue(result.stderr.strip() and result.stderr.endswith("\n"), case)
            self.assertOutputEmpty()
        self.assertEqual(os.listdir(self.temporary), [], case)
        self.tried += 1

    def hostile_build(self, case, *options, **arguments):
        before = self.around()
        started = time.monotonic()
        result = self.build(*options, **arguments)
        self.assertSound(result, started, case)
        self.assertEqual(self.around(), before, case + ": something outside the build's folders changed")
        return result

    def clear_output(self):
        shutil.rmtree(self.output, ignore_errors=True)


class HostileArchiveTest(HostileTestCase):
    def hostile_zip(self, name, entries, renamed=None):
        """The generated runtime zip with `entries` added after its own; `renamed` maps name bytes to raw ones."""
        good = self.runtime()
        path = os.path.join(self.folder, name + ".zip")
        with zipfile.ZipFile(good) as source, zipfile.ZipFile(path, "w") as target:
            self.top = source.namelist()[0].split("/")[0]
            for item in source.infolist():
                target.writestr(item, source.read(item))
            for info, data in entries:
                target.writestr(info, data)
        for placeholder, raw in (renamed or {}).items():
            with open(path, "rb") as stream:
                content = stream.read()
            with open(path, "wb") as stream:
                stream.write(content.replace(placeholder, raw))
        return path

    def test_archives(self):
        app = lambda rest: "%s/nwjs.app/%s" % (self.top, rest)
        self.hostile_zip("probe", [])
        escape = os.path.join(self.folder, "escaped")
        cases = {
            "dot-dot": [entry("../../../escaped", b"x")],
            "dot-dot inside": [entry(self.top + "/../../../../escaped", b"x")],
            "absolute": [entry(escape, b"x")],
            "absolute link then through it": [entry(self.top + "/out", self.sentinel.encode(), 0o777, stat.S_IFLNK),
                                              entry(self.top + "/out/planted", b"x")],
            "relative link then through it": [entry(self.top + "/up", b"../../../sentinel", 0o777, stat.S_IFLNK),
                                              entry(self.top + "/up/planted", b"x")],
            "duplicate entries": [entry(app("Contents/Resources/twice.txt"), b"first"),
                                  entry(app("Contents/Resources/twice.txt"), b"second")],
            "a newline in a name": [entry(app("Contents/Resources/line\nbreak.txt"), b"x")],
            "zip bomb": [entry(app("Contents/Resources/zeros.bin"), bytes(300 << 20))],
        }
        for case, entries in cases.items():
            self.hostile_build(case, runtime=self.hostile_zip(case, entries))
            self.assertFalse(os.path.lexists(escape), case)
            self.assertFalse(os.path.lexists(os.path.join(self.sentinel, "planted")), case)
            self.clear_output()
        invalid = self.hostile_zip("invalid", [entry(app("Contents/Resources/name-@@.txt"), b"x")],
                                   renamed={b"name-@@": b"name-\xff\xfe"})
        self.hostile_build("a name that is not UTF-8", runtime=invalid)
        self.clear_output()
        with open(self.runtime(), "rb") as stream:
            whole = stream.read()
        for case, data in (("truncated", whole[:len(whole) // 2]), ("truncated end", whole[:-30]),
                           ("declared size huge", self.declared_huge())):
            truncated = os.path.join(self.folder, case.replace(" ", "-") + ".zip")
            with open(truncated, "wb") as stream:
                stream.write(data)
            self.hostile_build(case, runtime=truncated)
            self.clear_output()
        print("\nhostile archives tried and survived: %d" % self.tried, file=sys.stderr)

    def declared_huge(self):
        """A runtime whose last entry claims almost 4 GB in both its headers."""
        path = self.hostile_zip("declared", [entry(self.top + "/nwjs.app/Contents/Resources/big.bin", b"y" * 1000)])
        with open(path, "rb") as stream:
            data = bytearray(stream.read())
        central = data.rfind(b"PK\x01\x02")
        local = struct.unpack_from("<I", data, central + 42)[0]
        for header, size_field in ((central, 24), (local, 22)):
            data[header + size_field:header + size_field + 4] = b"\xfe\xff\xff\xff"
        return bytes(data)


class HostileProjectTest(HostileTestCase):
    def write(self, relative, data="x"):
        path = os.path.join(self.project, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as stream:
            stream.write(data)
        return path

    def assertBuiltWhole(self, case, *options):
        result = self.hostile_build(case, *options)
        if result.returncode == 0:
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(self.project), case)
        self.clear_output()
        return result

    def test_odd_trees(self):
        os.symlink("loop-b", os.path.join(self.project, "loop-a"))
        os.symlink("loop-a", os.path.join(self.project, "loop-b"))
        os.symlink(".", os.path.join(self.project, "itself"))
        self.assertBuiltWhole("symlink loops")
        os.symlink(os.path.join(self.sentinel, "secret"), os.path.join(self.project, "outside"))
        os.symlink(self.sentinel, os.path.join(self.project, "outside-folder"))
        self.assertBuiltWhole("symlinks out of the project")
        os.mkfifo(os.path.join(self.project, "pipe"))
        self.assertBuiltWhole("a FIFO")
        os.remove(os.path.join(self.project, "pipe"))
        for name in ("with blank.txt", "it's \"quoted\".txt", "caf\u00e9 \u00fcber \u65e5\u672c.txt", "$(touch x)`y`"):
            self.write("odd names/" + name)
        self.assertEqual(self.assertBuiltWhole("blanks, quotes and letters beyond ASCII").returncode, 0)
        print("\nhostile projects tried and survived: %d" % self.tried, file=sys.stderr)

    def test_very_deep_nesting(self):
        path = self.project
        for _ in range(120):
            path = os.path.join(path, "deeper folder")
        os.makedirs(path)
        self.write(os.path.relpath(os.path.join(path, "bottom.txt"), self.project))
        self.assertBuiltWhole("deep nesting")

    def test_many_small_files(self):
        for folder in range(100):
            os.makedirs(os.path.join(self.project, "many", str(folder)))
            for index in range(1000):
                with open(os.path.join(self.project, "many", str(folder), str(index)), "w") as stream:
                    stream.write(str(index))
        self.assertEqual(self.assertBuiltWhole("100,000 small files").returncode, 0)

    def test_unreadable_files_for_a_user_without_privileges(self):
        unreadable = self.write("private.txt")
        subprocess.run(["chown", "-R", "%d:%d" % (NOBODY, NOBODY), self.folder], check=True)
        os.chown(unreadable, 0, 0)
        os.chmod(unreadable, 0o600)
        result = self.hostile_build("an unreadable file", preexec_fn=lambda: (os.setgid(NOBODY), os.setuid(NOBODY)))
        self.assertEqual(result.returncode, 1)
        self.assertIn("Permission denied", result.stderr)


if __name__ == "__main__":
    unittest.main()
