import os
import plistlib
import subprocess
import unittest

from harness import (ADDING, EXECUTABLE, PREPARING, SIGNING, TOOL_ROOT, BuildTestCase, added_by_configuration,
                     bundled_project_hash, make_runtime, tree_hash)

EXISTS = ("An output with this name already exists. Choose a new name or output folder; "
          "existing builds are never overwritten.")
INSIDE = "Choose an output folder outside the source project to avoid copying builds into themselves."
NOT_A_RUNTIME = "Runtime must be an NW.js .zip download or an extracted .app."


class SuccessfulBuildTest(BuildTestCase):
    def assertBuilt(self, result, name="Demo"):
        app = os.path.join(self.output, name + ".app")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        self.assertEqual(result.stdout.splitlines(), [PREPARING, ADDING, SIGNING, "Finished: " + app])
        self.assertNoStagingLeft()
        self.assertSignatureVerifies(app)
        return app

    def test_from_the_zip_download(self):
        runtime = self.runtime()
        before = (tree_hash(self.project), tree_hash(runtime))
        app = self.assertBuilt(self.build(runtime=runtime))
        self.assertEqual((tree_hash(self.project), tree_hash(runtime)), before)
        with open(os.path.join(app, "Contents/Info.plist"), "rb") as stream:
            self.assertEqual(plistlib.load(stream)["CFBundleExecutable"], "nwjs")
        framework = os.path.join(app, "Contents/Frameworks/nwjs Framework.framework")
        for link in ("Versions/Current", "nwjs Framework", "Resources", "Helpers", "Libraries"):
            self.assertTrue(os.path.islink(os.path.join(framework, link)), link)
        self.assertTrue(os.path.isfile(os.path.join(framework, "Helpers/nwjs Helper.app/Contents/MacOS/nwjs Helper")))
        self.assertEqual(os.stat(os.path.join(app, "Contents/MacOS/nwjs")).st_mode & 0o777, 0o755)
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))

    def test_from_the_extracted_folder_and_the_app_with_a_binary_plist(self):
        for form in ("folder", "app"):
            runtime = self.runtime(form=form, plist="binary")
            before = tree_hash(runtime)
            app = self.assertBuilt(self.build(runtime=runtime, name=form), form)
            self.assertEqual(tree_hash(runtime), before)
            with open(os.path.join(app, "Contents/Info.plist"), "rb") as stream:
                # The copy takes the build's identity; the runtime's own stays as it was.
                self.assertEqual(plistlib.load(stream)["CFBundleIdentifier"], "com.local.nwapp")

    def test_a_single_page_brings_its_whole_folder(self):
        open(os.path.join(self.project, "unused.bin"), "wb").write(b"\0\1\2")
        os.symlink("index.html", os.path.join(self.project, "alias.html"))
        app = self.assertBuilt(self.build(project=os.path.join(self.project, "index.html")))
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))

    def test_a_page_in_the_temporary_folder_does_not_copy_the_staging_folder(self):
        page = os.path.join(self.temporary, "page.html")
        open(page, "w").write("<p>hi</p>")
        app = self.assertBuilt(self.build(project=page))
        bundled = os.listdir(os.path.join(app, "Contents/Resources/app.nw"))
        self.assertEqual([name for name in bundled if not added_by_configuration(name)], ["page.html"])

    def test_architectures(self):
        universal = self.runtime(arch="universal")
        self.assertBuilt(self.build("--arch", "x64", runtime=universal, name="Intel"), "Intel")
        self.assertBuilt(self.build(runtime=universal, name="Arm"), "Arm")
        self.assertBuilt(self.build("--arch", "x64", runtime=self.runtime(arch="x86_64"), name="X"), "X")
        result = self.build("--arch", "x64")
        self.assertRefused(result, "The selected runtime does not match the chosen architecture (x86_64). "
                                   "Choose or download the matching runtime.")
        self.assertEqual(result.stdout, PREPARING + "\n")

    def test_staging_on_another_file_system_than_the_output(self):
        shm = "/dev/shm"
        if not os.path.isdir(shm) or os.stat(shm).st_dev == os.stat(self.folder).st_dev:
            self.skipTest("no second file system")
        temporary = os.path.join(shm, os.path.basename(self.folder))
        os.makedirs(temporary)
        try:
            result = self.build(temporary=temporary)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(os.listdir(temporary), [])
            self.assertEqual(os.listdir(self.output), ["Demo.app"])
            self.assertEqual(bundled_project_hash(os.path.join(self.output, "Demo.app")), tree_hash(self.project))
            self.assertTrue(os.path.islink(os.path.join(self.output, "Demo.app/Contents/Frameworks/"
                                                        "nwjs Framework.framework/Versions/Current")))
        finally:
            subprocess.run(["rm", "-rf", temporary])


class InstalledProgramTest(BuildTestCase):
    def test_the_installed_program_finds_its_stand_ins(self):
        prefix = os.path.join(self.folder, "prefix")
        subprocess.run(["cmake", "--install", os.environ["BUNDLEKILN_BUILD_DIR"], "--prefix", prefix],
                       check=True, capture_output=True)
        environment = {k: v for k, v in os.environ.items() if k != "BUNDLEKILN_TOOL_ROOT"}
        environment["TMPDIR"] = self.temporary
        result = subprocess.run([os.path.join(prefix, "bin/bundlekiln"), "--build", "--project", self.project,
                                 "--runtime", self.runtime(), "--output", self.output, "--name", "Installed"],
                                capture_output=True, text=True, env=environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.output, "Installed.app/Contents/MacOS/nwjs")))
        self.assertTrue(os.path.islink(os.path.join(prefix, "libexec/bundlekiln/toolroot/bin/chmod")))
        # Without a display, the message comes from the installed window module, so the program found it.
        for variable in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            environment.pop(variable, None)
        window = subprocess.run([os.path.join(prefix, "bin/bundlekiln")], capture_output=True, text=True,
                                env=environment, timeout=60)
        self.assertEqual((window.returncode, window.stderr), (1, "No display is available for the desktop window; "
                                                                 "run with --build for a headless build.\n"))

    def test_a_headless_build_loads_no_window_toolkit(self):
        # The loader writes one log per process, the tools' included.
        environment = dict(os.environ, BUNDLEKILN_TOOL_ROOT=TOOL_ROOT, TMPDIR=self.temporary, LD_DEBUG="libs",
                           LD_DEBUG_OUTPUT=os.path.join(self.folder, "loader"))
        result = subprocess.run([EXECUTABLE, "--build", "--project", self.project, "--runtime", self.runtime(),
                                 "--output", self.output, "--name", "Headless"], capture_output=True, text=True,
                                env=environment, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        loaded = "".join(open(os.path.join(self.folder, name)).read() for name in os.listdir(self.folder)
                         if name.startswith("loader"))
        self.assertIn("calling init: ", loaded)
        self.assertEqual([line for line in loaded.splitlines() if "calling init:" in line and "libQt6" in line], [])


class RefusedBuildTest(BuildTestCase):
    def assertRefusedCleanly(self, result, message):
        self.assertRefused(result, message)
        self.assertNoStagingLeft()
        self.assertOutputEmpty()

    def test_project_refusals(self):
        folder = os.path.join(self.folder, "p")
        os.makedirs(folder)
        open(os.path.join(folder, "notes.txt"), "w").close()
        self.assertRefusedCleanly(self.build(project=os.path.join(folder, "notes.txt")),
                                  "Choose an HTML file or project folder.")
        self.assertRefusedCleanly(self.build(project=folder),
                                  "This folder needs index.html, a single HTML file, or package.json. "
                                  "You can also choose the desired HTML file directly.")
        with open(os.path.join(folder, "package.json"), "w") as stream:
            stream.write('{"main": "start.html?x#y"}')
        self.assertRefusedCleanly(self.build(project=folder),
                                  "package.json points to \u2018start.html?x#y\u2019, but that file is missing.")
        with open(os.path.join(folder, "package.json"), "w") as stream:
            stream.write("[]")
        self.assertRefusedCleanly(self.build(project=folder), "package.json must contain a JSON object.")
        with open(os.path.join(folder, "package.json"), "w") as stream:
            stream.write("{}")
        self.assertRefusedCleanly(self.build(project=folder), "package.json is missing a non-empty \u2018main\u2019 value.")

    def test_runtime_refusals(self):
        bogus = os.path.join(self.folder, "runtime.tar")
        open(bogus, "w").close()
        self.assertRefusedCleanly(self.build(runtime=bogus), NOT_A_RUNTIME)
        os.makedirs(os.path.join(self.folder, "hollow/nwjs.APP/Contents/MacOS"))
        self.assertRefusedCleanly(self.build(runtime=os.path.join(self.folder, "hollow")), NOT_A_RUNTIME)
        subprocess.run(["zip", "-qr", "empty.zip", "hollow"], cwd=self.folder, check=True)
        self.assertRefusedCleanly(self.build(runtime=os.path.join(self.folder, "empty.zip")),
                                  "No macOS .app was found in that runtime archive.")
        missing = self.build(runtime=os.path.join(self.folder, "missing.zip"))
        self.assertEqual(missing.returncode, 1)
        self.assertIn("missing.zip", missing.stderr)
        self.assertNoStagingLeft()

    def test_an_app_without_its_executable_fails_in_lipo(self):
        os.makedirs(os.path.join(self.folder, "bare.app/Contents"))
        result = self.build(runtime=os.path.join(self.folder, "bare.app"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("nwjs", result.stderr)
        self.assertNoStagingLeft()
        self.assertOutputEmpty()

    def test_output_inside_the_source_is_refused_before_anything_is_made(self):
        self.assertRefused(self.build(output=os.path.join(self.project, "out")), INSIDE)
        self.assertFalse(os.path.exists(os.path.join(self.project, "out")))
        self.assertRefused(self.build(output=self.project), INSIDE)
        os.symlink(self.project, os.path.join(self.folder, "alias"))
        self.assertRefused(self.build(output=os.path.join(self.folder, "alias/out")), INSIDE)
        page = os.path.join(self.project, "index.html")
        self.assertRefused(self.build(project=page, output=os.path.join(self.project, "out")), INSIDE)
        result = self.build(project=page, output=self.project + "-out")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_existing_outputs_are_never_overwritten(self):
        os.makedirs(os.path.join(self.output, "Demo.app"))
        marker = os.path.join(self.output, "Demo.app/mine")
        open(marker, "w").write("keep")
        self.assertRefused(self.build(), EXISTS)
        self.assertEqual(open(marker).read(), "keep")
        open(os.path.join(self.output, "Other.zip"), "w").close()
        self.assertRefused(self.build("--zip", name="Other"), EXISTS)
        self.assertNoStagingLeft()
        self.assertEqual(sorted(os.listdir(self.output)), ["Demo.app", "Other.zip"])

    def test_a_failed_tool_leaves_nothing_behind(self):
        root = os.path.join(self.folder, "root")
        subprocess.run(["cp", "-a", TOOL_ROOT, root], check=True)
        os.remove(os.path.join(root, "bin/chmod"))  # a link to the system's chmod: never write through it
        with open(os.path.join(root, "bin/chmod"), "w") as stream:
            stream.write('#!/bin/sh\ncase "$1" in -RN) exit 1;; esac\necho "chmod: disk on fire" >&2\nexit 1\n')
        os.chmod(os.path.join(root, "bin/chmod"), 0o755)
        runtime = self.runtime()
        before = (tree_hash(self.project), tree_hash(runtime))
        result = self.build(runtime=runtime, tool_root=root)
        self.assertRefused(result, "chmod: disk on fire")
        self.assertEqual(result.stdout.splitlines(), [PREPARING, ADDING])
        self.assertNoStagingLeft()
        self.assertOutputEmpty()
        self.assertEqual((tree_hash(self.project), tree_hash(runtime)), before)


if __name__ == "__main__":
    unittest.main()
