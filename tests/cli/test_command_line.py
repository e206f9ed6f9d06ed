"""The option parser as the user meets it: required options, strict sizes, the first occurrence, raw values."""

import json
import os
import shutil

from harness import EXISTS, BuildTestCase, write

REQUIRED = "Required: --project --runtime --output --name\n"
BAD_SIZE = "Width and height must be between 100 and 16000 pixels."


class CommandLineTest(BuildTestCase):
    def test_missing_required_options_exit_with_2_and_build_nothing(self):
        for arguments in (["--build"],
                          ["--build", "--project", "p", "--runtime", "r", "--output", "o", "--name"],
                          ["--build", "--runtime", "r", "--output", "o", "--name", "n"]):
            result = self.bundlekiln(*arguments)
            self.assertEqual((result.returncode, result.stderr, result.stdout), (2, REQUIRED, ""), arguments)

    def test_sizes_are_whole_numbers_and_the_first_occurrence_wins(self):
        refused = [("--width", value) for value in ("abc", "12px", "-", "", " 800", "99999999999999999999", "-800")]
        for options, width in ([(option, None) for option in refused] + [
                (("--height", "0x10"), None), (("--width", "+800"), 800),
                (("--width", "50", "--width", "800"), None), (("--width", "800", "--width", "50"), 800)]):
            with self.subTest(options):
                result = self.build(*options)
                if width is None:
                    self.assertRefused(result, BAD_SIZE)
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(os.path.join(self.output, "Demo.app/Contents/Resources/app.nw/package.json")) as stream:
                    self.assertEqual(json.load(stream)["window"]["width"], width)
                shutil.rmtree(self.output)

    def test_a_value_is_the_next_argument_whatever_it_looks_like(self):
        # The name is "--dmg", and "--dmg" also turns the disk image on: an
        # existing "--dmg.dmg" therefore blocks the build.
        write(os.path.join(self.output, "--dmg.dmg"), "")
        self.assertRefused(self.build("--dmg", name="--dmg"), EXISTS)

    def test_relative_paths_are_taken_from_the_working_folder(self):
        result = self.build(project="project", output="out", cwd=self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isdir(os.path.join(self.output, "Demo.app")))

