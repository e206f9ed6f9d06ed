"""What the stand-in tests share: the built tool root, a folder for each test, and test data."""

import os
import random
import stat
import subprocess
import tempfile
import unittest

TOOLS = os.path.join(os.environ["HOSTTOOLS_TOOL_ROOT"], "usr/bin")


def run(tool, *arguments, **options):
    """Runs the stand-in `tool` from the build tree's tool root."""
    return subprocess.run([os.path.join(TOOLS, tool), *map(str, arguments)], capture_output=True, text=True,
                          **options)


def mixed_bytes(size):
    """Runs of 300,000 bytes, noise and text by turns, so that compressed output holds pieces of both kinds."""
    noise = random.Random(12345)
    return b"".join(noise.randbytes(300000) if at // 300000 % 2 == 0 else b"abcdefg" * (300000 // 7 + 1)
                    for at in range(0, size, 300000))[:size]


def contents(path):
    with open(path, "rb") as stream:
        return stream.read()


def tree(root, times=True):
    """Each entry at and below `root` by relative path: mode, modification time, link target or contents."""
    found = {}
    for folder, folders, files in os.walk(root):
        for path in [folder] + [os.path.join(folder, name) for name in folders + files]:
            status = os.lstat(path)
            found[os.path.relpath(path, root)] = (
                status.st_mode, status.st_mtime_ns if times else None,
                os.readlink(path) if stat.S_ISLNK(status.st_mode) else contents(path) if stat.S_ISREG(status.st_mode)
                else None)
    return found


def odd_time(path, seconds):
    """Sets `path`'s modification time (links not followed) with odd nanoseconds that a rounding copy loses."""
    os.utime(path, ns=(seconds * 10**9 + 111111111, seconds * 10**9 + 123456789), follow_symlinks=False)


class StandInTestCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="hosttools-test-")
        # rm, unlike shutil.rmtree, removes trees deeper than Python's recursion allows.
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])

    def path(self, *names):
        return os.path.join(self.folder, *names)

    def write(self, name, data=b"", mode=0o644):
        """Writes the file `name` (bytes or text), making its folders, and gives it `mode`."""
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(data.encode() if isinstance(data, str) else data)
        os.chmod(path, mode)
        return path
