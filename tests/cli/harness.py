"""Runs the real bundlekiln executable against generated runtimes and the stand-in tools."""

import hashlib
import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest
from unittest import mock

EXECUTABLE = os.environ["BUNDLEKILN_EXECUTABLE"]
TOOL_ROOT = os.environ["BUNDLEKILN_TEST_TOOLROOT"]
GENERATOR = os.environ["BUNDLEKILN_RUNTIME_GENERATOR"]
EXAMPLE = os.environ["BUNDLEKILN_EXAMPLE_PROJECT"]

PREPARING = "Preparing NW.js runtime\u2026"
ADDING = "Adding project files\u2026"
SIGNING = "Applying local ad-hoc signature\u2026"


def make_runtime(into, form="zip", arch="arm64", plist="xml"):
    os.makedirs(into, exist_ok=True)
    output = subprocess.run(
        ["python3", GENERATOR, "--into", into, "--form", form, "--arch", arch, "--plist", plist,
         "--framework-mb", "0.5", "--resource-files", "10"],
        check=True, capture_output=True, text=True)
    return output.stdout.strip()


def tree_hash(root, leave_out=lambda relative: False):
    """Everything that a change could touch: names, kinds, modes, link targets, contents. Walked by
    descriptor, so that trees deeper than a path may be long hash too; folders are known by number."""
    if not os.path.lexists(root):
        return None
    digest = hashlib.sha256()
    pending, unread, folders = [(None, root, "", 0)], {}, 0
    while pending:
        parent, name, relative, number = pending.pop()
        status = os.stat(name, dir_fd=parent, follow_symlinks=False)
        digest.update(os.fsencode("%d %s %o\n" % (number, name if parent else ".", status.st_mode)))
        if stat.S_ISLNK(status.st_mode):
            digest.update(os.fsencode(os.readlink(name, dir_fd=parent)))
        elif stat.S_ISREG(status.st_mode):
            with open(os.open(name, os.O_RDONLY | os.O_NOFOLLOW, dir_fd=parent), "rb") as stream:
                digest.update(hashlib.sha256(stream.read()).digest())
        elif stat.S_ISDIR(status.st_mode):
            folders += 1
            folder = os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=parent)
            prefix = relative + os.sep if relative else ""
            kept = [(folder, entry, prefix + entry, folders) for entry in sorted(os.listdir(folder), reverse=True)
                    if not leave_out(prefix + entry)]
            unread[folder] = len(kept)
            pending += kept
            if not kept:
                os.close(folder)
        if parent is not None:
            unread[parent] -= 1
            if not unread[parent]:
                os.close(parent)
    return digest.hexdigest()


def mount_memory_file_system(path, megabytes, add_cleanup):
    """Mounts a `megabytes` tmpfs at `path` (root only); `add_cleanup` (a test's or a class's) unmounts it."""
    os.makedirs(path, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % megabytes, "tmpfs", path], check=True)
    add_cleanup(subprocess.run, ["umount", "-l", path])


def added_by_configuration(relative):
    """The files that the build writes beside the project's own: package.json and the injected script."""
    return relative == "package.json" or re.fullmatch(r"bundlekiln-[0-9A-F-]{36}\.js", relative) is not None


def bundled_project_hash(app):
    """The project inside the app, less what the build added to it."""
    return tree_hash(os.path.join(app, "Contents/Resources/app.nw"), leave_out=added_by_configuration)


class BuildTestCase(unittest.TestCase):
    """Each test gets its own folder and its own temporary folder, so leftovers can be seen."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="bundlekiln-cli-")
        self.temporary = os.path.join(self.folder, "tmp")
        os.makedirs(self.temporary)
        self.output = os.path.join(self.folder, "out")
        self.project = os.path.join(self.folder, "project")
        shutil.copytree(EXAMPLE, self.project, symlinks=True)

    def tearDown(self):
        # rm, unlike shutil.rmtree, removes trees deeper than Python's recursion allows.
        subprocess.run(["chmod", "-R", "u+rwX", self.folder])
        subprocess.run(["rm", "-rf", self.folder])

    def bundlekiln(self, *arguments, tool_root=None, temporary=None, timeout=120, **options):
        environment = dict(os.environ, BUNDLEKILN_TOOL_ROOT=tool_root or TOOL_ROOT,
                           TMPDIR=temporary or self.temporary)
        return subprocess.run([EXECUTABLE, *arguments], capture_output=True, text=True,
                              env=environment, timeout=timeout, **options)

    def build(self, *extra, project=None, runtime=None, output=None, name="Demo", **options):
        runtime = runtime or self.runtime()
        arguments = ["--build", "--project", project or self.project, "--runtime", runtime,
                     "--output", output or self.output, "--name", name, *extra]
        return self.bundlekiln(*arguments, **options)

    def runtime(self, **kinds):
        key = tuple(sorted(kinds.items()))
        cache = getattr(self, "_runtimes", {})
        if key not in cache:
            cache[key] = make_runtime(os.path.join(self.folder, "runtime-%d" % len(cache)), **kinds)
        self._runtimes = cache
        return cache[key]

    def use_stand_in_keychain(self, identity, profile):
        """Gives the stand-in security and notarytool one identity and one notary profile, for this test only."""
        keychain = os.path.join(self.folder, "keychain")
        profiles = os.path.join(self.folder, "config", "notary-profiles")
        os.makedirs(os.path.dirname(profiles))
        with open(keychain, "w") as stream:
            stream.write(identity + "\n")
        with open(profiles, "w") as stream:
            stream.write(profile + "\n")
        environment = mock.patch.dict(os.environ, BUNDLEKILN_KEYCHAIN=keychain, BUNDLEKILN_NOTARY_PROFILES=profiles)
        environment.start()
        self.addCleanup(environment.stop)

    def assertSignatureVerifies(self, app):
        verified = subprocess.run([os.path.join(TOOL_ROOT, "usr/bin/codesign"), "--verify", "--deep", "--strict", app],
                                  capture_output=True, text=True)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)

    def assertRefused(self, result, message):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr, message + "\n")

    def assertNoStagingLeft(self):
        self.assertEqual([n for n in os.listdir(self.temporary) if n.startswith("Kilnsmith-")], [])

    def assertOutputEmpty(self, output=None):
        output = output or self.output
        if os.path.isdir(output):
            self.assertEqual(os.listdir(output), [])
