import os
import signal
import subprocess
import time
import unittest

from harness import ADDING, EXECUTABLE, TOOL_ROOT, BuildTestCase, bundled_project_hash, tree_hash
from recording_root import RecordingRoot


class InterruptionTest(BuildTestCase):
    """A stopped build removes its staging folder, then ends as the signal would."""

    def slow_copy_root(self, ignore_stops=False):
        root = os.path.join(self.folder, "root")
        subprocess.run(["cp", "-a", TOOL_ROOT, root], check=True)
        real = os.path.join(root, "usr/bin/ditto.real")
        os.rename(os.path.join(root, "usr/bin/ditto"), real)
        self.started = os.path.join(self.folder, "copy-started")
        with open(os.path.join(root, "usr/bin/ditto"), "w") as stream:
            stream.write('#!/bin/sh\n%s[ "$1" = -x ] || { touch "%s"; sleep 30; }\nexec "%s" "$@"\n'
                         % ("trap '' INT TERM\n" if ignore_stops else "", self.started, real))
        os.chmod(os.path.join(root, "usr/bin/ditto"), 0o755)
        return root

    def start(self, tool_root, project=None, extra=()):
        arguments = [EXECUTABLE, "--build", "--project", project or self.project, "--runtime", self.runtime(),
                     "--output", self.output, "--name", "Demo", *extra]
        environment = dict(os.environ, BUNDLEKILN_TOOL_ROOT=tool_root, TMPDIR=self.temporary)
        return subprocess.Popen(arguments, env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def wait_for(self, path):
        deadline = time.monotonic() + 30
        while not os.path.exists(path):
            self.assertLess(time.monotonic(), deadline, "the build never reached the copy")
            time.sleep(0.02)

    def assertStoppedCleanly(self, build, stop):
        """Stops `build` once it has reached the slow tool: it ends by the signal and leaves nothing."""
        self.wait_for(self.started)
        build.send_signal(stop)
        build.communicate(timeout=20)
        self.assertEqual(build.returncode, -stop)
        self.assertNoStagingLeft()
        self.assertOutputEmpty()

    def test_stopped_during_the_runtime_copy(self):
        for stop in (signal.SIGTERM, signal.SIGINT):
            runtime_before = tree_hash(self.runtime())
            self.assertStoppedCleanly(self.start(self.slow_copy_root()), stop)
            self.assertEqual(tree_hash(self.runtime()), runtime_before)
            subprocess.run(["rm", "-rf", os.path.join(self.folder, "root")], check=True)
            os.remove(self.started)

    def test_a_tool_that_ignores_the_stop_is_killed_after_a_grace_period(self):
        build = self.start(self.slow_copy_root(ignore_stops=True))
        self.wait_for(self.started)
        stopped_at = time.monotonic()
        build.send_signal(signal.SIGTERM)
        build.communicate(timeout=20)
        self.assertLess(time.monotonic() - stopped_at, 1.5)
        self.assertEqual(build.returncode, -signal.SIGTERM)
        self.assertNoStagingLeft()
        self.assertOutputEmpty()

    def test_stopped_during_packaging(self):
        root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        self.started = os.path.join(self.folder, "image-started")
        root.replace("/usr/bin/hdiutil", 'touch "%s"; sleep 30\n' % self.started)
        for stop in (signal.SIGINT, signal.SIGTERM):
            self.assertStoppedCleanly(self.start(root.path, extra=("--zip", "--dmg")), stop)
            os.remove(self.started)

    def test_stopped_during_the_final_move_to_another_file_system(self):
        mount = os.path.join(self.folder, "other")
        os.makedirs(mount)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256m", "tmpfs", mount], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", mount])
        self.output = os.path.join(mount, "out")
        with open(os.path.join(self.project, "large.bin"), "wb") as stream:
            stream.write(os.urandom(64 << 20))
        build = self.start(TOOL_ROOT)
        while build.stdout.readline() not in ("Applying local ad-hoc signature\u2026\n", ""):
            pass
        time.sleep(0.3)
        build.send_signal(signal.SIGTERM)
        build.communicate(timeout=60)
        self.assertNoStagingLeft()
        # Whichever step the stop met, the output holds the whole app or nothing, never a partial copy.
        if build.returncode == 0 or os.listdir(self.output):
            self.assertEqual(os.listdir(self.output), ["Demo.app"])
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(self.project))
        else:
            self.assertEqual(build.returncode, -signal.SIGTERM)

    def test_stopped_during_the_project_copy(self):
        big = os.path.join(self.folder, "big")
        for folder in range(40):
            os.makedirs(os.path.join(big, "f%d" % folder))
            for index in range(250):
                with open(os.path.join(big, "f%d" % folder, "%d.txt" % index), "w") as stream:
                    stream.write("x" * 100)
        open(os.path.join(big, "index.html"), "w").close()
        build = self.start(TOOL_ROOT, project=big)
        self.assertEqual(build.stdout.readline(), "Preparing NW.js runtime\u2026\n")
        self.assertEqual(build.stdout.readline(), ADDING + "\n")
        build.send_signal(signal.SIGTERM)
        build.communicate(timeout=60)
        self.assertNoStagingLeft()
        if build.returncode == 0:
            # The copy won the race; then the app must be whole.
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(big))
        else:
            self.assertEqual(build.returncode, -signal.SIGTERM)
            self.assertOutputEmpty()


if __name__ == "__main__":
    unittest.main()
