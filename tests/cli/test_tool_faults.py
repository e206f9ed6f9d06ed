"""Every tool run of a full build made to fail in turn: the build says why and leaves nothing of itself."""

import errno
import os
import shutil
import sys
import unittest

from harness import TOOL_ROOT, BuildTestCase, tree_hash
from recording_root import RecordingRoot
from test_app_identity import png

IDENTITY = "Developer ID Application: Jane Doe (TEAM123456)"
PROFILE = "team profile"
FAULT_OUTPUT = "tool said no\n"


def ignored(call):
    """The runs whose failure a build passes over."""
    return call[:2] in (["/usr/bin/xattr", "-cr"], ["/usr/bin/chflags", "-R"], ["/bin/chmod", "-RN"])


class ToolFaultTest(BuildTestCase):
    """A build with every tool in it: zip runtime, PNG icon, Developer ID, notarization, ZIP and disk image."""

    def setUp(self):
        super().setUp()
        self.use_stand_in_keychain(IDENTITY, PROFILE)
        self.icon = os.path.join(self.folder, "icon.png")
        with open(self.icon, "wb") as stream:
            stream.write(png(64, 64))
        self.root = RecordingRoot(TOOL_ROOT, os.path.join(self.folder, "root"))
        self.inputs = (tree_hash(self.project), tree_hash(self.runtime()))

    def full_build(self):
        return self.build("--icon", self.icon, "--zip", "--dmg", "--sign", IDENTITY, "--notary-profile", PROFILE,
                          name="My App", tool_root=self.root.path)

    def reference_runs(self):
        self.root.forget_calls()
        result = self.full_build()
        self.assertEqual(result.returncode, 0, result.stderr)
        runs = self.root.calls()
        self.empty_output()
        return runs

    def empty_output(self):
        for item in os.listdir(self.output):
            path = os.path.join(self.output, item)
            shutil.rmtree(path) if os.path.isdir(path) and not os.path.islink(path) else os.remove(path)

    def assertLeftNothing(self, context, succeeded):
        self.assertNoStagingLeft()
        if succeeded:
            self.assertEqual(sorted(os.listdir(self.output)), ["My App.app", "My App.dmg", "My App.zip"], context)
            self.empty_output()
        else:
            self.assertOutputEmpty()
        self.assertEqual((tree_hash(self.project), tree_hash(self.runtime())), self.inputs, context)

    def test_each_run_failing_with_and_without_output(self):
        runs = self.reference_runs()
        self.assertGreater(len(runs), 30)
        covered = 0
        for index, call in enumerate(runs, start=1):
            for output in (FAULT_OUTPUT, ""):
                context = "run %d %s, output %r" % (index, call, output)
                self.root.fail_run(index, output)
                result = self.full_build()
                if ignored(call):
                    self.assertEqual(result.returncode, 0, context + ": " + result.stderr)
                else:
                    expected = output.rstrip("\n") or "Command failed: " + os.path.join(self.root.path, call[0].lstrip("/"))
                    self.assertEqual((result.returncode, result.stderr), (1, expected + "\n"), context)
                    self.assertEqual(len(self.root.calls()), index, context + ": runs went on after the failure")
                self.assertLeftNothing(context, result.returncode == 0)
                covered += 1
        print("\nfault points covered and survived (failing status): %d" % covered, file=sys.stderr)

    def test_each_tool_that_cannot_start(self):
        runs = self.reference_runs()
        tools = list(dict.fromkeys(call[0] for call in runs))
        for tool in tools:
            path = os.path.join(self.root.path, tool.lstrip("/"))
            os.rename(path, path + ".away")
            self.root.forget_calls()
            result = self.full_build()
            os.rename(path + ".away", path)
            first_needed = next((call for call in runs if call[0] == tool and not ignored(call)), None)
            if first_needed is None:
                self.assertEqual(result.returncode, 0, tool + ": " + result.stderr)
            else:
                self.assertEqual((result.returncode, result.stderr),
                                 (1, "Could not start %s: %s\n" % (path, os.strerror(errno.ENOENT))), tool)
            self.assertLeftNothing(tool, result.returncode == 0)
        print("\nfault points covered and survived (cannot start): %d tools" % len(tools), file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
