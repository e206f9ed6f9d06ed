"""Whole builds from each form of runtime, the installed program, and every refusal as the user meets it."""

import os
import pathlib
import plistlib
import shutil
import subprocess

from harness import (EXISTS, IDENTITY, BuildTestCase, added_by_configuration, bundled_project_hash,
                     mount_memory_file_system, read_plist, tree_hash, write)

FRAMEWORK = "Contents/Frameworks/nwjs Framework.framework"
CHOSEN = {"CFBundleName": "My App", "CFBundleDisplayName": "My App", "CFBundleIdentifier": "com.Example.App",
          "CFBundleShortVersionString": "1.2.3", "CFBundleVersion": "1.2.3", "NSHighResolutionCapable": True}


def llvm_archs(path):
    return subprocess.run(["llvm-lipo-14", "-archs", path], check=True, capture_output=True, text=True).stdout.split()


class SuccessfulBuildTest(BuildTestCase):
    def test_each_form_of_runtime_for_each_architecture(self):
        universal = self.runtime(form="folder", arch="universal", plist="binary")
        # Every runtime's own Info.plist holds the same; the old text format has strings only.
        own = read_plist(universal + "/nwjs.app/Contents/Info.plist")
        # The runtime, the --arch chosen, the architectures it holds, its own Info.plist.
        for runtime, option, archs, info in (
                (self.runtime(), "arm64", ["arm64"], own),
                (universal, "x64", ["x86_64", "arm64"], own),
                (universal + "/nwjs.app", "arm64", ["x86_64", "arm64"], own),
                (self.runtime(form="folder", arch="x86_64", plist="text"), "x64", ["x86_64"], None)):
            with self.subTest(runtime=os.path.relpath(runtime, self.folder), arch=option):
                before = self.inputs(runtime)
                result = self.build("--arch", option, "--version", "1.2.3", "--bundle-id", "com.Example.App",
                                    runtime=runtime, name="My App")
                app = self.assertBuilt(result, "My App")
                self.assertEqual(self.inputs(runtime), before)
                self.assertEqual(bundled_project_hash(app), tree_hash(self.project))
                for binary in ("Contents/MacOS/nwjs", FRAMEWORK + "/nwjs Framework"):
                    self.assertEqual(llvm_archs(os.path.join(app, binary)), archs, binary)
                self.assertEqual(os.stat(os.path.join(app, "Contents/MacOS/nwjs")).st_mode & 0o777, 0o755)
                for link in ("Versions/Current", "nwjs Framework", "Resources", "Helpers", "Libraries"):
                    self.assertTrue(os.path.islink(os.path.join(app, FRAMEWORK, link)), link)
                with open(os.path.join(app, "Contents/Info.plist"), "rb") as stream:
                    data = stream.read()
                self.assertTrue(data.startswith(b"<?xml"), data[:40])
                written = plistlib.loads(data)
                self.assertEqual({key: written[key] for key in CHOSEN}, CHOSEN)
                if info:
                    self.assertEqual({key: value for key, value in written.items() if key not in CHOSEN},
                                     {key: value for key, value in info.items() if key not in CHOSEN})
                shutil.rmtree(self.output)

    def test_a_page_brings_its_whole_folder_but_never_the_staging_folder(self):
        write(os.path.join(self.project, "unused.bin"), b"\0\1\2")
        os.symlink("index.html", os.path.join(self.project, "alias.html"))
        app = self.assertBuilt(self.build(project=os.path.join(self.project, "index.html")))
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))
        # A page in the temporary folder has the staging folder beside it.
        page = write(os.path.join(self.temporary, "page.html"), "<p>hi</p>")
        app = self.assertBuilt(self.build(project=page, name="Page"), "Page")
        bundled = os.listdir(os.path.join(app, "Contents/Resources/app.nw"))
        self.assertEqual([name for name in bundled if not added_by_configuration(name)], ["page.html"])

    def test_staging_on_another_file_system_than_the_output(self):
        self.temporary = mount_memory_file_system(os.path.join(self.folder, "memory"), 64, self.addCleanup)
        app = self.assertBuilt(self.build())
        self.assertEqual(os.listdir(self.temporary), [])
        self.assertEqual(os.listdir(self.output), ["Demo.app"])
        self.assertEqual(bundled_project_hash(app), tree_hash(self.project))
        self.assertTrue(os.path.islink(os.path.join(app, FRAMEWORK, "Versions/Current")))

    def test_the_installed_program_finds_its_stand_ins_and_its_window_and_loads_no_window_toolkit(self):
        prefix = os.path.join(self.folder, "prefix")
        subprocess.run(["cmake", "--install", os.environ["BUNDLEKILN_BUILD_DIR"], "--prefix", prefix],
                       check=True, capture_output=True)
        program = os.path.join(prefix, "bin/bundlekiln")
        # The loader writes one log per process, the tools' included.
        environment = {name: value for name, value in self.environment().items() if name not in (
            "BUNDLEKILN_TOOL_ROOT", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        loader = dict(environment, LD_DEBUG="libs", LD_DEBUG_OUTPUT=os.path.join(self.folder, "loader"))
        result = subprocess.run([program, *self.command(name="Installed")[1:]], capture_output=True, text=True,
                                env=loader, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.output, "Installed.app/Contents/MacOS/nwjs")))
        loaded = "".join(pathlib.Path(self.folder, name).read_text() for name in os.listdir(self.folder)
                         if name.startswith("loader"))
        self.assertIn("calling init: ", loaded)
        self.assertEqual([line for line in loaded.splitlines() if "calling init:" in line and "libQt6" in line], [])
        # Without a display, the message comes from the installed window module, so the program found it.
        window = subprocess.run([program], capture_output=True, text=True, env=environment, timeout=60)
        self.assertEqual((window.returncode, window.stderr), (1, "No display is available for the desktop window; "
                                                                 "run with --build for a headless build.\n"))


class RefusalTest(BuildTestCase):
    def test_each_refusal_reaches_the_user_whole_and_leaves_everything_as_it_was(self):
        self.use_stand_in_keychain()
        self.runtime()
        inputs = os.path.join(self.folder, "inputs")
        notes = write(os.path.join(inputs, "notes.txt"), "")
        os.makedirs(os.path.join(inputs, "hollow/nwjs.APP/Contents/MacOS"))
        subprocess.run(["zip", "-qr", "empty.zip", "hollow"], cwd=inputs, check=True)
        damaged = os.path.join(self.runtime(form="folder"), "nwjs.app")
        write(os.path.join(damaged, "Contents/Info.plist"), plistlib.dumps(["not a dictionary"]))
        taken = os.path.join(inputs, "taken")
        write(os.path.join(taken, "Demo.app/mine"), "keep")
        write(os.path.join(taken, "Other.zip"), "")
        for case, message, options, arguments in (
                ("a text the build judges", "Version must look like 1.0 or 1.2.3.", ("--version", "v1"), {}),
                ("an identity not in the keychain, judged before the version",
                 "The signing identity was not found in the login Keychain. Use your Developer ID Application "
                 "certificate name or SHA-1 fingerprint.", ("--sign", "John Roe", "--version", "v1"), {}),
                ("a notary profile not in the keychain", "xcrun: No Keychain password item found for profile: someone "
                 "else (profiles are read from %s)" % os.environ["BUNDLEKILN_NOTARY_PROFILES"],
                 ("--sign", IDENTITY, "--notary-profile", "someone else"), {}),
                ("a file that is no page", "Choose an HTML file or project folder.", (), {"project": notes}),
                ("an archive without an app", "No macOS .app was found in that runtime archive.", (),
                 {"runtime": os.path.join(inputs, "empty.zip")}),
                ("a runtime of another architecture", "The selected runtime does not match the chosen architecture "
                 "(x86_64). Choose or download the matching runtime.", ("--arch", "x64"), {}),
                ("a runtime Info.plist that is no dictionary", "NW.js runtime has an invalid Info.plist.", (),
                 {"runtime": damaged}),
                ("an output inside the project", "Choose an output folder outside the source project to avoid "
                 "copying builds into themselves.", (), {"output": os.path.join(self.project, "out")}),
                ("an app that exists", EXISTS, (), {"output": taken}),
                ("a ZIP that exists", EXISTS, ("--zip",), {"output": taken, "name": "Other"})):
            with self.subTest(case):
                before = self.outside_the_build()
                self.assertRefused(self.build(*options, **arguments), message)
                self.assertEqual(os.listdir(self.temporary), [])
                self.assertOutputEmpty()
                self.assertEqual(self.outside_the_build(), before)

