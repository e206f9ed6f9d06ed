"""What the end-to-end tests share: the real bundlekiln executable run against generated runtimes and the
stand-in tools in a folder of each test's own, the stand-in keychain, and the files the tests write and compare."""

import hashlib
import io
import os
import plistlib
import re
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib
from unittest import mock

from PIL import Image

# The hashes walk trees thousands of folders deep.
sys.setrecursionlimit(100000)
EXECUTABLE = os.environ["BUNDLEKILN_EXECUTABLE"]
TOOL_ROOT = os.environ["BUNDLEKILN_TEST_TOOLROOT"]
GENERATOR = os.environ["BUNDLEKILN_RUNTIME_GENERATOR"]
EXAMPLE = os.environ["BUNDLEKILN_EXAMPLE_PROJECT"]

PREPARING = "Preparing NW.js runtime\u2026"
ADDING = "Adding project files\u2026"
SIGNING = "Applying local ad-hoc signature\u2026"
EXISTS = ("An output with this name already exists. Choose a new name or output folder; "
          "existing builds are never overwritten.")
IDENTITY = "Developer ID Application: Jane Doe (TEAM123456)"
PROFILE = "team profile"


def make_runtime(into, form="zip", arch="arm64", plist="xml"):
    output = subprocess.run(
        [sys.executable, GENERATOR, "--into", into, "--form", form, "--arch", arch, "--plist", plist,
         "--framework-mb", "0.5", "--resource-files", "10"],
        check=True, capture_output=True, text=True)
    return output.stdout.strip()


def png(width, height, dpi=(72, 72)):
    """An opaque gradient, written by PIL: red grows to the right, green downwards."""
    image = Image.new("RGBA", (width, height))
    image.putdata([(x * 255 // width, y * 255 // height, 60, 255) for y in range(height) for x in range(width)])
    stream = io.BytesIO()
    image.save(stream, "PNG", dpi=dpi)
    return stream.getvalue()


def huge_png(side):
    """A 1-bit grey PNG of blank rows: a small file that decodes to side * side pixels."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row, packer = bytes(1 + (side + 7) // 8), zlib.compressobj(9)
    rows = b"".join(packer.compress(row * 1000) for _ in range(side // 1000)) + packer.flush()
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 0, 0, 0, 0)) +
            chunk(b"IDAT", rows) + chunk(b"IEND", b""))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(data, bytes) else "w") as stream:
        stream.write(data)
    return path


def tree_hash(root, leave_out=lambda name: False):
    """Everything that a change could touch: names, kinds, modes, link targets, contents; less the entries
    of `root` that `leave_out` names. Walked by descriptor, so that trees deeper than a path may be long hash
    too; each entry is hashed after its depth, which fixes the tree's shape."""
    if not os.path.lexists(root):
        return None
    digest = hashlib.sha256()

    def add(parent, name, depth):
        status = os.stat(name, dir_fd=parent, follow_symlinks=False)
        digest.update(os.fsencode("%d %s %o\n" % (depth, name if depth else ".", status.st_mode)))
        if stat.S_ISLNK(status.st_mode):
            digest.update(os.fsencode(os.readlink(name, dir_fd=parent)))
        elif stat.S_ISREG(status.st_mode):
            with open(os.open(name, os.O_RDONLY | os.O_NOFOLLOW, dir_fd=parent), "rb") as stream:
                digest.update(hashlib.sha256(stream.read()).digest())
        elif stat.S_ISDIR(status.st_mode):
            folder = os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=parent)
            try:
                for entry in sorted(os.listdir(folder)):
                    if depth or not leave_out(entry):
                        add(folder, entry, depth + 1)
            finally:
                os.close(folder)
    add(None, root, 0)
    return digest.hexdigest()


def added_by_configuration(relative):
    """The files that the build writes beside the project's own: package.json and the injected script."""
    return relative == "package.json" or re.fullmatch(r"bundlekiln-[0-9A-F-]{36}\.js", relative) is not None


def bundled_project_hash(app):
    """The project inside the app, less what the build added to it."""
    return tree_hash(os.path.join(app, "Contents/Resources/app.nw"), leave_out=added_by_configuration)


def read_plist(path):
    with open(path, "rb") as stream:
        return plistlib.load(stream)


def mount_memory_file_system(path, megabytes, add_cleanup):
    """Mounts a `megabytes` tmpfs at `path` (root only); `add_cleanup` (a test's or a class's) unmounts it."""
    os.makedirs(path, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % megabytes, "tmpfs", path], check=True)
    add_cleanup(subprocess.run, ["umount", "-l", path])
    return path


def group_members(group):
    """The living processes of a process group, by /proc."""
    members = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as stream:
                state, _, process_group = stream.read().rpartition(")")[2].split()[:3]
        except OSError:
            continue
        if int(process_group) == group and state != "Z":
            members.append(int(pid))
    return members


class BuildTestCase(unittest.TestCase):
    """Each test gets its own folder and its own temporary folder, so leftovers can be seen."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="bundlekiln-cli-")
        # The first cleanup runs last: after the test's own, which unmount what it mounted inside.
        self.addCleanup(self.remove_folder)
        self.temporary = os.path.join(self.folder, "tmp")
        os.makedirs(self.temporary)
        self.output = os.path.join(self.folder, "out")
        self.project = os.path.join(self.folder, "project")
        subprocess.run(["cp", "-a", EXAMPLE, self.project], check=True)

    def remove_folder(self):
        # rm, unlike shutil.rmtree, removes trees deeper than Python's recursion allows.
        subprocess.run(["chmod", "-R", "u+rwX", self.folder])
        subprocess.run(["rm", "-rf", self.folder])

    def command(self, *extra, project=None, runtime=None, output=None, name="Demo"):
        return [EXECUTABLE, "--build", "--project", project or self.project, "--runtime", runtime or self.runtime(),
                "--output", output or self.output, "--name", name, *extra]

    def environment(self, tool_root=None, temporary=None):
        return dict(os.environ, BUNDLEKILN_TOOL_ROOT=tool_root or TOOL_ROOT, TMPDIR=temporary or self.temporary)

    def bundlekiln(self, *arguments, tool_root=None, temporary=None, timeout=120, **options):
        return subprocess.run([EXECUTABLE, *arguments], capture_output=True, text=True,
                              env=self.environment(tool_root, temporary), timeout=timeout, **options)

    def build(self, *extra, project=None, runtime=None, output=None, name="Demo", **options):
        return self.bundlekiln(*self.command(*extra, project=project, runtime=runtime, output=output,
                                             name=name)[1:], **options)

    def start(self, *extra, tool_root=None, **arguments):
        """A build running on its own, its output read through pipes."""
        return subprocess.Popen(self.command(*extra, **arguments), env=self.environment(tool_root), text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def runtime(self, **kinds):
        """A generated runtime of `kinds` (form, arch, plist), made once per test."""
        key = tuple(sorted(kinds.items()))
        self.__dict__.setdefault("runtimes", {})
        if key not in self.runtimes:
            self.runtimes[key] = make_runtime(os.path.join(self.folder, "runtime-%d" % len(self.runtimes)), **kinds)
        return self.runtimes[key]

    def inputs(self, runtime=None):
        return tree_hash(self.project), tree_hash(runtime or self.runtime())

    def outside_the_build(self, *also):
        """The test's folder less the staging and output folders (and `also`): what no build may change."""
        return tree_hash(self.folder, leave_out=lambda relative: relative in ("tmp", "out", *also))

    def use_stand_in_keychain(self):
        """Gives the stand-in security and notarytool IDENTITY and PROFILE, for this test only."""
        keychain = write(os.path.join(self.folder, "config", "keychain"), IDENTITY + "\n")
        profiles = write(os.path.join(self.folder, "config", "notary-profiles"), PROFILE + "\n")
        environment = mock.patch.dict(os.environ, BUNDLEKILN_KEYCHAIN=keychain, BUNDLEKILN_NOTARY_PROFILES=profiles)
        environment.start()
        self.addCleanup(environment.stop)

    def assertBuilt(self, result, name="Demo", output=None):
        """A plain build that succeeded, said so and nothing else, and left a verified app; returns its path."""
        app = os.path.join(output or self.output, name + ".app")
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(result.stdout.splitlines(), [PREPARING, ADDING, SIGNING, "Finished: " + app])
        self.assertNoStagingLeft()
        self.assertSignatureVerifies(app)
        return app

    def assertSignatureVerifies(self, app):
        verified = subprocess.run([os.path.join(TOOL_ROOT, "usr/bin/codesign"), "--verify", "--deep", "--strict", app],
                                  capture_output=True, text=True)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)

    def assertRefused(self, result, message):
        """Exit status 1 and `message` as the one line of the error output."""
        self.assertEqual((result.returncode, result.stderr), (1, message + "\n"))

    def assertFailedCleanly(self, result, output=None):
        """Exit status 1 with one line of error, no staging folder left and nothing in the output folder."""
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertTrue(result.stderr.endswith("\n") and result.stderr.count("\n") == 1, result.stderr)
        self.assertNoStagingLeft()
        self.assertOutputEmpty(output)

    def assertNoStagingLeft(self):
        self.assertEqual([name for name in os.listdir(self.temporary) if name.startswith("Kilnsmith-")], [])

    def assertOutputEmpty(self, output=None):
        output = output or self.output
        self.assertEqual(os.listdir(output) if os.path.isdir(output) else [], [])
