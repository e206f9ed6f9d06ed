"""Builds started at once into one output folder: a name is taken once, and only whole."""

import os
import subprocess

from harness import EXISTS, BuildTestCase, bundled_project_hash, tree_hash

BUILDS = 8


class ConcurrencyTest(BuildTestCase):
    def run_at_once(self, names):
        builds = [self.start("--zip", name=name) for name in names]
        results = []
        for build in builds:
            error = build.communicate(timeout=240)[1]
            results.append((build.returncode, error))
        self.assertNoStagingLeft()
        return results

    def assertWholeAndVerified(self, name):
        app = os.path.join(self.output, name + ".app")
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))
        self.assertSignatureVerifies(app)
        tested = subprocess.run(["unzip", "-tq", os.path.join(self.output, name + ".zip")], capture_output=True)
        self.assertEqual(tested.returncode, 0, tested.stdout)

    def test_one_name_is_built_once(self):
        results = self.run_at_once(["Demo"] * BUILDS)
        self.assertEqual(sorted(results), [(0, "")] + [(1, EXISTS + "\n")] * (BUILDS - 1))
        self.assertEqual(sorted(os.listdir(self.output)), ["Demo.app", "Demo.zip"])
        self.assertWholeAndVerified("Demo")

    def test_different_names_all_succeed(self):
        names = ["App %d" % index for index in range(BUILDS)]
        self.assertEqual(self.run_at_once(names), [(0, "")] * BUILDS)
        self.assertEqual(sorted(os.listdir(self.output)), sorted(n + e for n in names for e in (".app", ".zip")))
        for name in names:
            self.assertWholeAndVerified(name)

