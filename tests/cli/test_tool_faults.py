"""Every tool run of a full build made to fail in turn: the build says why and leaves nothing of itself."""

import errno
import os
import shutil

from harness import IDENTITY, PROFILE, TOOL_ROOT, BuildTestCase, png, write
from recording_root import RecordingRoot

FAULT_OUTPUT = "tool said no\n"
BUILT = ["My App.app", "My App.dmg", "My App.zip"]


def ignored(call):
    """The runs whose failure a build passes over."""
    return call[:2] in (["/usr/bin/xattr", "-cr"], ["/usr/bin/chflags", "-R"], ["/bin/chmod", "-RN"])


class ToolFaultTest(BuildTestCase):
    """A build with every tool in it: zip runtime, PNG icon, Developer ID, notarization, ZIP and disk image."""

    def setUp(self):
        super().setUp()
        self.use_stand_in_keychain()
        self.icon = write(os.path.join(self.folder, "icon.png"), png(64, 64))
        self.root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        self.before = self.inputs()

    def full_build(self):
        return self.build("--icon", self.icon, "--zip", "--dmg", "--sign", IDENTITY, "--notary-profile", PROFILE,
                          name="My App", tool_root=self.root.path)

    def assertLeftNothing(self, context, succeeded):
        """A build that succeeded left the three outputs, which go; one that failed, nothing."""
        self.assertNoStagingLeft()
        self.assertEqual(sorted(os.listdir(self.output)), BUILT if succeeded else [], context)
        for item in os.listdir(self.output):
            path = os.path.join(self.output, item)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        self.assertEqual(self.inputs(), self.before, context)

    def test_each_run_failing_with_and_without_output_then_each_tool_that_cannot_start(self):
        result = self.full_build()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLeftNothing("reference", True)
        runs = self.root.calls()
        self.assertGreater(len(runs), 30)
        for index, call in enumerate(runs, start=1):
            for output in (FAULT_OUTPUT, ""):
                context = "run %d %s, output %r" % (index, call, output)
                self.root.fail_run(index, output)
                result = self.full_build()
                if ignored(call):
                    self.assertEqual(result.returncode, 0, context + ": " + result.stderr)
                else:
                    expected = output.rstrip("\n") or "Command failed: " + os.path.join(self.root.path, call[0][1:])
                    self.assertEqual((result.returncode, result.stderr), (1, expected + "\n"), context)
                    self.assertEqual(len(self.root.calls()), index, context + ": runs went on after the failure")
                self.assertLeftNothing(context, result.returncode == 0)
        self.root.forget_calls()
        for tool in dict.fromkeys(call[0] for call in runs):
            path = os.path.join(self.root.path, tool[1:])
            os.rename(path, path + ".away")
            result = self.full_build()
            os.rename(path + ".away", path)
            if all(ignored(call) for call in runs if call[0] == tool):
                self.assertEqual(result.returncode, 0, tool + ": " + result.stderr)
            else:
                self.assertEqual((result.returncode, result.stderr),
                                 (1, "Could not start %s: %s\n" % (path, os.strerror(errno.ENOENT))), tool)
            self.assertLeftNothing(tool, result.returncode == 0)

