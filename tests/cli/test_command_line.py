import os
import subprocess
import unittest

from harness import EXECUTABLE, BuildTestCase

REQUIRED = "Required: --project --runtime --output --name\n"
BAD_SIZE = "Width and height must be between 100 and 16000 pixels."


class CommandLineTest(BuildTestCase):
    def test_missing_required_options_exit_with_2_and_build_nothing(self):
        for arguments in (["--build"],
                          ["--build", "--project", "p", "--runtime", "r", "--output", "o", "--name"],
                          ["--build", "--runtime", "r", "--output", "o", "--name", "n"]):
            result = self.bundlekiln(*arguments)
            self.assertEqual((result.returncode, result.stderr, result.stdout), (2, REQUIRED, ""), arguments)

    def test_without_build_and_without_a_display_the_desktop_start_fails_cleanly(self):
        environment = {name: value for name, value in os.environ.items()
                       if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        result = subprocess.run([EXECUTABLE, "--project", self.project], capture_output=True, text=True,
                                env=environment, timeout=60)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("--build", result.stderr)
        self.assertEqual(result.stdout, "")

    def test_width_and_height_are_parsed_strictly(self):
        for value in ("abc", "12px", "-", "", " 800", "99999999999999999999", "-800"):
            result = self.build("--width", value)
            self.assertRefused(result, BAD_SIZE)
        self.assertRefused(self.build("--height", "0x10"), BAD_SIZE)
        self.assertEqual(self.build("--width", "+800").returncode, 0)

    def test_first_occurrence_wins(self):
        self.assertRefused(self.build("--width", "50", "--width", "800"), BAD_SIZE)
        self.assertEqual(self.build("--width", "800", "--width", "50").returncode, 0)

    def test_a_value_is_the_next_argument_whatever_it_looks_like(self):
        # The name is "--dmg", and "--dmg" also turns the disk image on: an
        # existing "--dmg.dmg" therefore blocks the build.
        os.makedirs(self.output)
        open(os.path.join(self.output, "--dmg.dmg"), "w").close()
        result = self.build("--dmg", name="--dmg")
        self.assertRefused(result, "An output with this name already exists. Choose a new name or output "
                                   "folder; existing builds are never overwritten.")

    def test_texts_pass_through_for_the_build_to_judge(self):
        self.assertRefused(self.build("--arch", "x86_64"), "Architecture must be arm64 or x64.")
        self.assertRefused(self.build("--version", "v1"), "Version must look like 1.0 or 1.2.3.")
        self.assertRefused(self.build("--bundle-id", "nodots"), "Bundle ID must look like com.example.myapp.")
        self.assertRefused(self.build("--frameless", "--close-button"), "Choose only one frameless option.")
        self.assertRefused(self.build("--notary-profile", "p"), "Notarization requires a Developer ID signing identity.")

    def test_relative_paths_are_taken_from_the_working_folder(self):
        result = self.build(project="project", output="out", cwd=self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isdir(os.path.join(self.output, "Demo.app")))


if __name__ == "__main__":
    unittest.main()
