"""Broken and hostile runtimes and projects: each build succeeds whole or fails with a clear error, writes
only in its staging and output folders, leaves no staging folder and ends in bounded time."""

import ctypes
import os
import resource
import shutil
import socket
import stat
import struct
import subprocess
import sys
import threading
import unittest
import warnings
import zipfile

from harness import (BuildTestCase, added_by_configuration, bundled_project_hash, huge_png, mount_memory_file_system,
                     png, tree_hash, write)

NOBODY = 65534
# Past the stand-in ditto's floor of 512 MiB, so the runtime archive holding it may not unpack that far.
BOMB_BYTES = 600 << 20
PEAK_MIB = 512
OUTSIDE_LINK = "invalid destination for symbolic link in bundle"
INJECTION_OUTSIDE = "The existing injection script must be inside the project."
TOO_LARGE = "The icon is too large: its sides may be at most 16384 pixels."


def entry(name, data=b"", mode=0o644, kind=stat.S_IFREG):
    info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = (kind | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


def link(name, target):
    return entry(name, os.fsencode(target), 0o777, stat.S_IFLNK)


def exchange(first, second):
    """Swaps two names in one step (renameat2 with RENAME_EXCHANGE)."""
    if ctypes.CDLL(None, use_errno=True).renameat2(-100, os.fsencode(first), -100, os.fsencode(second), 2):
        raise OSError(ctypes.get_errno(), os.strerror(ctypes.get_errno()), first)


def declare_last_entry_size(path, size):
    """Makes the archive's last entry declare `size` bytes in both its headers, whatever it holds."""
    with open(path, "rb") as stream:
        data = bytearray(stream.read())
    central = data.rfind(b"PK\x01\x02")
    struct.pack_into("<I", data, central + 24, size)
    struct.pack_into("<I", data, struct.unpack_from("<I", data, central + 42)[0] + 22, size)
    write(path, bytes(data))


class HostileInputTest(BuildTestCase):
    """Everything in the test's folder but the staging and output folders is a sentinel: the project,
    the runtimes and a folder of secrets a hostile input might aim at."""

    def setUp(self):
        super().setUp()
        self.sentinel = os.path.join(self.folder, "sentinel")
        self.secret = os.urandom(16).hex().encode()
        os.chmod(write(os.path.join(self.sentinel, "secret"), self.secret), 0o400)
        with zipfile.ZipFile(self.runtime()) as runtime:
            self.top = runtime.namelist()[0].split("/")[0]

    def hostile_build(self, case, refusal=None, seconds=30, extra=(), racing=False, leave_out=None, **arguments):
        """One case: a build that must succeed, with the whole project in its app, when `refusal` is None,
        and otherwise fail with one line holding it; when `racing` (the test changes the project meanwhile),
        either. Nothing changes outside the build's folders and `leave_out`. Returns the app when it was built."""
        shutil.rmtree(self.output, ignore_errors=True)
        output, temporary = arguments.get("output", self.output), arguments.get("temporary", self.temporary)
        source = os.path.realpath(arguments.get("project", self.project))
        source = os.path.dirname(source) if os.path.isfile(source) else source
        with self.subTest(case):
            before = self.outside_the_build(leave_out)
            self.result = result = self.build(*extra, timeout=seconds, **arguments)
            app = None
            if refusal is None and (result.returncode == 0 or not racing):
                self.assertEqual(result.returncode, 0, result.stderr)
                app = os.path.join(output, os.fsdecode(arguments.get("name", "Demo")) + ".app")
                if not racing:
                    self.assertEqual(bundled_project_hash(app), tree_hash(source, leave_out=added_by_configuration))
            else:
                self.assertFailedCleanly(result, output)
                self.assertIn(refusal or "", result.stderr)
            for current, _, files in os.walk(output):
                for name in files:
                    if not os.path.islink(os.path.join(current, name)):
                        with open(os.path.join(current, name), "rb") as stream:
                            self.assertNotIn(self.secret, stream.read(), "the secret leaked")
            self.assertEqual(os.listdir(temporary), [])
            self.assertEqual(self.outside_the_build(leave_out), before, "something outside the build's folders changed")
            return app

    def bounded_build(self, case, refusal, seconds, **arguments):
        """A case that must end in `seconds` with no child past PEAK_MIB (the peak of all children so far)."""
        self.hostile_build(case, refusal, seconds=seconds, **arguments)
        self.assertLess(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss >> 10, PEAK_MIB, case)


    def in_app(self, relative):
        return "%s/nwjs.app/%s" % (self.top, relative)

    def hostile_zip(self, name, entries, dropped=None):
        """The generated runtime zip with `entries` (pairs of ZipInfo and data) added after its own, less
        the entry `dropped` and everything below it."""
        path = os.path.join(self.folder, name.replace(" ", "-") + ".zip")
        with zipfile.ZipFile(self.runtime()) as source, zipfile.ZipFile(path, "w") as target:
            for item in source.infolist():
                if not dropped or item.filename.rstrip("/") != dropped and not item.filename.startswith(dropped + "/"):
                    target.writestr(item, source.read(item))
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")  # zipfile warns of the duplicate names written on purpose
                for info, data in entries:
                    target.writestr(info, data)
        return path

    def archive_build(self, case, entries, refusal=None):
        return self.hostile_build(case, refusal, runtime=self.hostile_zip(case, entries))

    def fresh_project(self, case):
        """An unaltered copy of the example for each case, so that one case's oddity cannot mask another's."""
        self.project = os.path.join(self.folder, case.replace(" ", "-"))
        shutil.copytree(os.path.join(self.folder, "project"), self.project, symlinks=True)
        return self.project

    def put(self, relative, data=b"x"):
        """Writes a file into the project; `relative` may be bytes, for names that are not UTF-8."""
        return write(os.path.join(os.fsencode(self.project), os.fsencode(relative)), data)

    def project_build(self, case, refusal=None, **arguments):
        return self.hostile_build(case, refusal, project=self.project, **arguments)

    def deep_folder(self, levels):
        """`levels` folders inside each other, a file at the bottom: made by relative steps, past any path's length."""
        subprocess.run([sys.executable, "-c", "import os\nfor _ in range(%d): os.mkdir('deeper folder'); "
                        "os.chdir('deeper folder')\nopen('bottom.txt', 'w').write('bottom')" % levels],
                       cwd=self.project, check=True)

    def test_entries_that_would_land_outside_are_refused(self):
        escaped, planted = os.path.join(self.folder, "escaped"), os.path.join(self.sentinel, "planted")
        for case, entries in (
                ("dot-dot", [entry("../../../escaped", b"x")]),
                ("dot-dot inside", [entry(self.top + "/../../../../escaped", b"x")]),
                ("absolute", [entry(escaped, b"x")]),
                ("absolute link then through it", [link(self.top + "/out", self.sentinel),
                                                   entry(self.top + "/out/planted", b"x")]),
                ("relative link then through it", [link(self.top + "/up", "../../../sentinel"),
                                                   entry(self.top + "/up/planted", b"x")])):
            self.archive_build(case, entries, "ditto: Refused to extract the entry '%s'" % entries[-1][0].filename)
            self.assertFalse(os.path.lexists(escaped) or os.path.lexists(planted), case)

    def test_runtimes_and_icons_named_through_links(self):
        linked = os.path.join(self.folder, "Linked.app")
        os.symlink(self.runtime(form="app"), linked)
        icon = os.path.join(self.folder, "icon-link.png")
        os.symlink(write(os.path.join(self.folder, "icon.png"), png(64, 64)), icon)
        self.hostile_build("a link to the .app, with an icon named through a link", runtime=linked,
                           extra=("--icon", icon))
        folder = self.runtime(form="folder")
        elsewhere = os.path.join(self.folder, "elsewhere", "nwjs.app")
        os.renames(os.path.join(folder, "nwjs.app"), elsewhere)
        os.symlink(elsewhere, os.path.join(folder, "nwjs.app"))
        self.hostile_build("an extracted runtime whose bundle is a link", runtime=folder)
        bundle = self.in_app("")[:-1]
        self.hostile_build("a runtime zip whose bundle is a link", "No macOS .app was found in that runtime archive.",
                           runtime=self.hostile_zip("linked", [link(bundle, elsewhere)], dropped=bundle))

    def test_links_where_the_bundle_has_its_folders_are_refused(self):
        canary, up = os.path.join(self.sentinel, "canary.app"), "../../../../sentinel/canary.app"
        shutil.copytree(self.runtime(form="app"), canary, symlinks=True)
        write(os.path.join(canary, "Contents/Resources/Info.plist"), "canary")
        os.makedirs(os.path.join(canary, "Contents/Resources/app.nw/keep"))
        # The relative link counts from the staged copy's Contents folder up to the test's folder.
        for case, folder, target in (
                ("Resources to an absolute path", "Contents/Resources", canary + "/Contents/Resources"),
                ("Resources to a relative path", "Contents/Resources", up + "/Contents/Resources"),
                ("Contents", "Contents", canary + "/Contents")):
            runtime = self.hostile_zip(case, [link(self.in_app(folder), target)], dropped=self.in_app(folder))
            self.hostile_build(case, "The runtime's app bundle has a symbolic link where %s should be." % folder,
                               runtime=runtime)

    def test_odd_but_harmless_entries_build(self):
        twice, both = self.in_app("Contents/Resources/twice.txt"), self.in_app("Contents/Resources/both")
        self.archive_build("duplicate entries", [entry(twice, b"first"), entry(twice, b"second")])
        self.archive_build("a folder and a file of one name", [entry(both + "/", b"", 0o755, stat.S_IFDIR),
                                                              entry(both, b"file")])
        self.archive_build("a line feed in a name", [entry(self.in_app("Contents/Resources/line\nbreak.txt"), b"x")])
        invalid = self.hostile_zip("invalid", [entry(self.in_app("Contents/Resources/name-@@.txt"), b"x")])
        with open(invalid, "rb") as stream:
            write(invalid, stream.read().replace(b"name-@@", b"name-\xff\xfe"))
        self.hostile_build("a name that is not UTF-8", runtime=invalid)
        app = self.archive_build("a set-user-ID entry", [entry(self.in_app("Contents/Resources/tool"), b"#!/bin/sh\n",
                                                               0o6755)])
        self.assertEqual(os.stat(os.path.join(app, "Contents/Resources/tool")).st_mode & 0o7777, 0o755)

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
        deep = self.hostile_zip("deep", [entry(self.in_app("Contents/Resources/" + "d/" * 8000 + "bottom"), b"x")])
        self.bounded_build("a runtime 8,000 folders deep", "nests folders more than 256 levels deep", 60, runtime=deep)

    def test_broken_archives_are_refused(self):
        self.archive_build("an entry over the runtime's executable",
                           [entry(self.in_app("Contents/MacOS/nwjs"), b"#!/bin/sh\n", 0o755)], "is not a Mach-O file")
        with open(self.runtime(), "rb") as stream:
            whole = stream.read()
        for case, data in (("cut in half", whole[:len(whole) // 2]), ("cut before its end", whole[:-30]),
                           ("empty", b""), ("text", b"not an archive\n")):
            path = write(os.path.join(self.folder, case.replace(" ", "-") + ".zip"), data)
            self.hostile_build(case, "ditto: Could not read the archive " + path, runtime=path)
        fifo = os.path.join(self.folder, "pipe.zip")
        os.mkfifo(fifo)
        self.hostile_build("a FIFO", "ditto: The archive %s is not a regular file." % fifo, runtime=fifo)

    def test_links_are_copied_as_links_and_never_followed(self):
        project = self.fresh_project("loops")
        for name, target in (("loop-a", "loop-b"), ("loop-b", "loop-a"), ("itself", ".")):
            os.symlink(target, os.path.join(project, name))
        self.project_build("symlink loops")
        for case, target in (("an absolute link out", os.path.join(self.sentinel, "secret")),
                             ("an absolute link to a folder out", self.sentinel),
                             ("a relative link out of the app", "../../../../sentinel/secret")):
            os.symlink(target, os.path.join(self.fresh_project(case), "outside"))
            self.project_build(case, OUTSIDE_LINK)
        # Out of the project, but inside the app once there: a dangling link like any other.
        os.symlink("../sentinel/secret", os.path.join(self.fresh_project("relative"), "outside"))
        self.project_build("a relative link out of the project")

    def test_links_that_lead_out_are_never_read(self):
        write(os.path.join(self.folder, "secret-file"), self.secret)
        # Each q is a link to ".": the chains read as inside the project, but lead out of it (and of the app).
        for case, name, target, refusal in (
                ("inject_js_end through a chain out", "boot.js", "q/q/q/../../secret-file", INJECTION_OUTSIDE),
                ("inject_js_end through a link inside", "link.js", "index.html", INJECTION_OUTSIDE),
                ("a chain that leaves the app", "leak", "q/q/q/q/q/../../../../secret-file", OUTSIDE_LINK)):
            # Two levels down, so that the first chain, read in place, reaches the secret.
            project = self.fresh_project("chains/" + name)
            os.symlink(".", os.path.join(project, "q"))
            os.symlink(target, os.path.join(project, name))
            if refusal == INJECTION_OUTSIDE:
                self.put("package.json", b'{"main": "index.html", "inject_js_end": "%s"}' % name.encode())
            self.project_build(case, refusal)
        self.fresh_project("configured")
        self.put("package.json", b'{"main": "index.html", "name": "configured"}')
        os.symlink("configured", os.path.join(self.folder, "link"))
        for given in ("link", "link/", "link/index.html"):
            self.hostile_build("the project given as " + given, project=os.path.join(self.folder, given))

    def test_a_folder_swapped_for_a_link_while_it_is_copied(self):
        project = self.fresh_project("race")
        for folder in ("a", "b"):
            for index in range(300):
                self.put("%s/%d" % (folder, index), folder.upper().encode())
        os.symlink("b", os.path.join(project, "swap"))
        stop = threading.Event()

        def swap():
            # A pause between swaps leaves the build a core; some 600 swaps a second still meet every copy.
            while not stop.wait(0.001):
                exchange(os.path.join(project, "a"), os.path.join(project, "swap"))
        swapper = threading.Thread(target=swap)
        swapper.start()
        try:
            for attempt in range(10):
                app = self.hostile_build("swapped during build %d" % attempt, racing=True, leave_out="race")
                copied = os.path.join(app or self.folder, "Contents/Resources/app.nw/a")
                if app and not os.path.islink(copied):
                    for name in os.listdir(copied):
                        with open(os.path.join(copied, name), "rb") as stream:
                            self.assertEqual(stream.read(), b"A", "the copy followed the link into b")
        finally:
            stop.set()
            swapper.join()

    def test_special_files_are_refused_without_being_read(self):
        os.mkfifo(os.path.join(self.fresh_project("a FIFO"), "pipe"))
        self.project_build("a FIFO", "it is not a regular file, folder or symbolic link")
        listening = socket.socket(socket.AF_UNIX)
        self.addCleanup(listening.close)
        listening.bind(os.path.join(self.fresh_project("a socket"), "socket"))
        self.project_build("a socket", "Cannot copy a socket or device file")
        os.mknod(os.path.join(self.fresh_project("a device"), "null"), 0o600 | stat.S_IFCHR, os.makedev(1, 3))
        self.project_build("a device", "Cannot copy a socket or device file")
        os.mkfifo(os.path.join(self.fresh_project("a FIFO package.json"), "package.json"))
        self.project_build("a FIFO as package.json", "package.json is not a regular file.", seconds=5)
        self.fresh_project("a FIFO icon")
        os.mkfifo(os.path.join(self.folder, "x.png"))
        self.project_build("a FIFO as the icon", "The icon is not a regular file.", seconds=5,
                           extra=("--icon", os.path.join(self.folder, "x.png")))

    def test_odd_names_build_whole(self):
        self.fresh_project("odd names")
        for name in ("with blank.txt", "it's \"quoted\".txt", "caf\u00e9 \u00fcber \u65e5\u672c.txt", "$(touch x)`y`",
                     "-rf", "n" * 255):
            self.put(os.path.join("odd names", name))
        self.project_build("blanks, quotes, letters beyond ASCII, a leading dash, the longest name")
        for case, name in (("a name that is not UTF-8", b"name-\xff\xfe.txt"), ("a line feed in a name", "a\nb.txt")):
            self.fresh_project(case)
            self.put(name)
            self.project_build(case)

    def test_work_is_bounded(self):
        self.fresh_project("deep")
        self.deep_folder(120)
        self.project_build("120 folders deep")
        self.fresh_project("far too deep")
        self.deep_folder(8000)
        self.bounded_build("a project 8,000 folders deep", "The project nests folders more than 250 levels deep.", 60,
                           project=self.project)
        self.fresh_project("huge icon")
        icon = write(os.path.join(self.folder, "huge.png"), huge_png(60000))
        self.bounded_build("a 60000 x 60000 icon", TOO_LARGE, 5, project=self.project, extra=("--icon", icon))

    def test_late_refusals_and_the_longest_name(self):
        number = "package.json is not valid JSON: number out of range at line 1, column "
        self.fresh_project("huge number")
        self.put("package.json", b'{"main": "index.html", "n": 1e999999}')
        self.project_build("a number out of range", number)
        self.assertTrue(self.result.stderr.startswith(number), self.result.stderr)
        self.fresh_project("named")
        for case, name in (("not UTF-8", b"Demo\xff"), ("with a line feed", "De\nmo"), ("with a DEL", "De\x7fmo"),
                           ("of 252 bytes", "n" * 252)):
            self.hostile_build("a name " + case, "Enter a valid app name.", name=name)
            self.assertFalse(os.path.lexists(self.output), "a refused name made the output folder")
        memory = mount_memory_file_system(os.path.join(self.folder, "other"), 64, self.addCleanup)
        name = "\u00e9" * 125 + "x"
        for case, output in (("", self.output), (", moved to another file system", memory)):
            self.hostile_build("a name of 251 bytes" + case, name=name, output=output, extra=("--zip", "--dmg"),
                               leave_out="other")
            self.assertEqual(sorted(os.listdir(output)), [name + extension for extension in (".app", ".dmg", ".zip")])
        self.hostile_build("a temporary folder not made yet", temporary=os.path.join(self.temporary, "not", "yet"))

    def test_unreadable_files_for_a_user_without_privileges(self):
        self.fresh_project("unreadable file")
        os.chmod(self.put("private.txt"), 0o600)
        self.fresh_project("unreadable folder")
        os.chmod(os.path.dirname(self.put("private/file.txt")), 0o700)
        subprocess.run(["chown", "-R", "%d:%d" % (NOBODY, NOBODY), self.folder], check=True)
        for case, private in (("unreadable file", "private.txt"), ("unreadable folder", "private")):
            self.project = os.path.join(self.folder, case.replace(" ", "-"))
            os.chown(os.path.join(self.project, private), 0, 0)
            self.project_build("an " + case, "Permission denied", preexec_fn=lambda: (os.setgid(NOBODY),
                                                                                          os.setuid(NOBODY)))

    # Under the sanitizers this build takes over eight minutes, and it runs the code paths of the small
    # cases, only 100,000 times over.
    @unittest.skipIf(os.environ.get("BUNDLEKILN_SANITIZED"), "too slow under the sanitizers; the small cases run")
    def test_many_small_files_build_whole(self):
        # In memory: on a busy disk, writing the files would take most of the suite's time.
        memory = mount_memory_file_system(os.path.join(self.folder, "memory"), 2048, self.addCleanup)
        self.project, self.temporary = os.path.join(memory, "project"), os.path.join(memory, "tmp")
        shutil.copytree(os.path.join(self.folder, "project"), self.project)
        os.makedirs(self.temporary)
        for folder in range(100):
            os.makedirs(os.path.join(self.project, "many", str(folder)))
            for index in range(1000):
                with open(os.path.join(self.project, "many", str(folder), str(index)), "w") as stream:
                    stream.write(str(index))
        before = tree_hash(self.project)
        self.project_build("100,000 small files", seconds=150, output=os.path.join(memory, "out"),
                           leave_out="memory")
        self.assertEqual(tree_hash(self.project), before, "the project changed")

