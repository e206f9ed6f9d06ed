"""Stopped builds: the build and every process of the tool it ran end at once, by the signal, leaving nothing
behind; a killed build's leftovers are swept by the next build unless a live build still holds them."""

import fcntl
import os
import shutil
import time
import uuid
from signal import SIGINT, SIGKILL, SIGTERM

from harness import (ADDING, PREPARING, SIGNING, TOOL_ROOT, BuildTestCase, bundled_project_hash, group_members,
                     mount_memory_file_system, tree_hash, write)
from recording_root import RecordingRoot

UNPACK_THEN = '[ "$1" = -x ] && exec %s "$@"\n' % os.path.join(TOOL_ROOT, "usr/bin/ditto")


class InterruptionTest(BuildTestCase):
    def test_a_stop_ends_the_build_and_its_tool_group_at_once(self):
        root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        started = os.path.join(self.folder, "tool-pid")
        mark = 'echo $$ > "{0}.new"; mv "{0}.new" "{0}"\n'.format(started)
        before = self.inputs()
        for case, stop, tool, script, options in (
                ("SIGTERM while the runtime is copied", SIGTERM, "ditto", UNPACK_THEN + mark + "sleep 60", ()),
                ("SIGINT while a tool blocks in a pipeline", SIGINT, "codesign", mark + "sleep 60 | sleep 60", ()),
                ("SIGTERM while a tool's child holds its output", SIGTERM, "codesign", mark + "sleep 60 &", ()),
                ("SIGTERM to a tool ignoring it", SIGTERM, "codesign", "trap '' INT TERM\n" + mark + "sleep 60", ()),
                ("SIGINT while the disk image is made", SIGINT, "hdiutil", mark + "sleep 60", ("--zip", "--dmg"))):
            with self.subTest(case):
                root.replace("/usr/bin/" + tool, script)
                build, deadline = self.start(*options, tool_root=root.path), time.monotonic() + 30
                while not os.path.exists(started):
                    self.assertLess(time.monotonic(), deadline, "the build never reached the tool")
                    time.sleep(0.02)
                with open(started) as stream:
                    group = os.getpgid(int(stream.read()))
                os.remove(started)
                self.addCleanup(lambda group=group: [os.kill(pid, SIGKILL) for pid in group_members(group)])
                time.sleep(0.3)
                build.send_signal(stop)
                stopped = time.monotonic()
                build.communicate(timeout=20)
                # A tool that ignores the stop is killed after a grace period of half a second.
                self.assertLess(time.monotonic() - stopped, 2)
                self.assertEqual(build.returncode, -stop)
                self.assertEqual(group_members(group), [])
                self.assertNoStagingLeft()
                self.assertOutputEmpty()
                self.assertEqual(self.inputs(), before)

    def test_stopped_during_the_final_move_to_another_file_system(self):
        self.output = os.path.join(mount_memory_file_system(os.path.join(self.folder, "other"), 256, self.addCleanup),
                                   "out")
        write(os.path.join(self.project, "large.bin"), os.urandom(64 << 20))
        build = self.start()
        while build.stdout.readline() not in (SIGNING + "\n", ""):
            pass
        time.sleep(0.3)
        build.send_signal(SIGTERM)
        build.communicate(timeout=60)
        self.assertNoStagingLeft()
        # Whichever step the stop met, the output holds the whole app or nothing, never a partial copy.
        if build.returncode == 0 or os.listdir(self.output):
            self.assertEqual(os.listdir(self.output), ["Demo.app"])
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(self.project))
        else:
            self.assertEqual(build.returncode, -SIGTERM)

    def test_stopped_during_the_project_copy(self):
        for folder in range(40):
            for index in range(250):
                write(os.path.join(self.project, "f%d" % folder, "%d.txt" % index), "x" * 100)
        build = self.start()
        self.assertEqual([build.stdout.readline(), build.stdout.readline()], [PREPARING + "\n", ADDING + "\n"])
        build.send_signal(SIGTERM)
        build.communicate(timeout=60)
        self.assertNoStagingLeft()
        if build.returncode == 0:
            # The copy won the race; then the app must be whole.
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(self.project))
        else:
            self.assertEqual(build.returncode, -SIGTERM)
            self.assertOutputEmpty()

    def test_leftovers_are_swept_unless_a_live_build_holds_them(self):
        stale = [os.path.join(self.temporary, "Kilnsmith-%s" % str(uuid.uuid4()).upper()),
                 os.path.join(self.output, ".Old.app.partial-%s" % str(uuid.uuid4()).upper())]
        locks = []
        for path in stale:
            os.makedirs(os.path.join(path, "inside"))
            locks.append(os.open(path, os.O_RDONLY | os.O_DIRECTORY))
            fcntl.flock(locks[-1], fcntl.LOCK_EX)
        for case, kept in (("held by a live build", True), ("left by a killed build", False)):
            with self.subTest(case):
                result = self.build()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual([os.path.isdir(path) for path in stale], [kept, kept])
                shutil.rmtree(os.path.join(self.output, "Demo.app"))
            while locks:
                os.close(locks.pop())

