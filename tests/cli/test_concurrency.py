"""Builds started at once into one output folder: a name is taken once, and only whole."""

import os
import subprocess
import sys
import unittest

from harness import EXECUTABLE, TOOL_ROOT, BuildTestCase, bundled_project_hash, tree_hash

EXISTS = ("An output with this name already exists. Choose a new name or output folder; "
          "existing builds are never overwritten.")
BUILDS = 8


class ConcurrencyTest(BuildTestCase):
    def start_builds(self, names):
        environment = dict(os.environ, BUNDLEKILN_TOOL_ROOT=TOOL_ROOT, TMPDIR=self.temporary)
        runtime = self.runtime()
        builds = [subprocess.Popen([EXECUTABLE, "--build", "--project", self.project, "--runtime", runtime,
                                    "--output", self.output, "--name", name, "--zip"],
                                   env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                  for name in names]
        results = []
        for build in builds:
            _, error = build.communicate(timeout=240)
            results.append((build.returncode, error))
        self.assertNoStagingLeft()
        return results

    def assertWholeAndVerified(self, name):
        app = os.path.join(self.output, name + ".app")
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))
        self.assertSignatureVerifies(app)
        listing = subprocess.run(["unzip", "-tq", os.path.join(self.output, name + ".zip")], capture_output=True)
        self.assertEqual(listing.returncode, 0, listing.stdout)

    def test_one_name_is_built_once(self):
        results = self.start_builds(["Demo"] * BUILDS)
        succeeded = [result for result in results if result[0] == 0]
        self.assertEqual(len(succeeded), 1, results)
        self.assertEqual(sorted(result for result in results if result[0] != 0), [(1, EXISTS + "\n")] * (BUILDS - 1))
        self.assertEqual(sorted(os.listdir(self.output)), ["Demo.app", "Demo.zip"])
        self.assertWholeAndVerified("Demo")
        print("\nconcurrency: %d builds of one name, 1 succeeded, %d refused"
              % (BUILDS, BUILDS - 1), file=sys.stderr)

    def test_different_names_all_succeed(self):
        names = ["App %d" % index for index in range(BUILDS)]
        results = self.start_builds(names)
        self.assertEqual(results, [(0, "")] * BUILDS)
        self.assertEqual(sorted(os.listdir(self.output)), sorted(n + e for n in names for e in (".app", ".zip")))
        for name in names:
            self.assertWholeAndVerified(name)


if __name__ == "__main__":
    unittest.main()
