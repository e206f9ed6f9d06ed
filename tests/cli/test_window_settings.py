"""The window settings and the injected script that a built app carries."""

import json
import os
import re
import subprocess
import unittest

from harness import BuildTestCase, tree_hash

OUTSIDE = "The existing injection script must be inside the project."
FIT_SCRIPT = open(os.path.join(os.path.dirname(__file__), "../../engine/fit_script.js"), encoding="utf-8").read()
SCRIPT_NAME = re.compile(r"bundlekiln-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\.js")


class WindowSettingsTest(BuildTestCase):
    def write_manifest(self, **manifest):
        with open(os.path.join(self.project, "package.json"), "w") as stream:
            json.dump({"main": "index.html", **manifest}, stream)

    def built_project(self, *options, name="Demo"):
        result = self.build(*options, name=name)
        self.assertEqual(result.returncode, 0, result.stderr)
        return os.path.join(self.output, name + ".app/Contents/Resources/app.nw")

    def test_the_built_app_carries_the_window_and_the_script(self):
        os.makedirs(os.path.join(self.project, "js"))
        with open(os.path.join(self.project, "js/boot.js"), "w") as stream:
            stream.write("window.booted = true;")
        self.write_manifest(window={"icon": "icon.png", "min_width": 800, "position": "mouse"},
                            inject_js_end="js/boot.js", chromium_args="--x", zoom=1.5)
        before = tree_hash(self.project)
        staged = self.built_project("--width", "640", "--height", "480", "--close-button", "--no-center",
                                    "--bundle-id", "com.Example.Demo", "--version", "2.0")
        self.assertEqual(tree_hash(self.project), before)
        with open(os.path.join(staged, "package.json")) as stream:
            text = stream.read()
        manifest = json.loads(text)
        self.assertEqual(list(manifest), sorted(manifest))
        self.assertEqual(text, json.dumps(manifest, indent=2, sort_keys=True, ensure_ascii=False) + "\n")
        self.assertEqual(manifest["name"], "com.example.demo")
        self.assertEqual(manifest["version"], "2.0")
        self.assertEqual((manifest["chromium_args"], manifest["zoom"]), ("--x", 1.5))
        self.assertEqual(manifest["window"], {
            "icon": "icon.png", "title": " ", "width": 640, "height": 480, "resizable": True,
            "always_on_top": False, "frame": False, "fullscreen": False, "kiosk": False})
        script_name = manifest["inject_js_end"]
        self.assertRegex(script_name, SCRIPT_NAME)
        with open(os.path.join(staged, script_name), encoding="utf-8") as stream:
            script = stream.read()
        prefix = "window.booted = true;\n;\n(() => { const settings = "
        self.assertTrue(script.startswith(prefix), script[:80])
        settings_text, rest = script[len(prefix):].split(";\n", 1)
        self.assertNotIn(" ", settings_text)
        self.assertEqual(json.loads(settings_text), {"frameless": True, "auto": True, "hide": True, "close": True,
                                                     "center": False, "resizable": True})
        # The browser tests load the fit script in exactly this wrapping.
        self.assertEqual(rest, FIT_SCRIPT.rstrip("\n") + "\n})();\n")
        self.assertEqual(open(os.path.join(staged, "js/boot.js")).read(), "window.booted = true;")
        checked = subprocess.run(["node", "--check", os.path.join(staged, script_name)], capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stderr)

    def test_two_builds_write_scripts_of_different_names(self):
        names = [json.load(open(os.path.join(self.built_project(name=name), "package.json")))["inject_js_end"]
                 for name in ("One", "Two")]
        self.assertNotEqual(names[0], names[1])

    def test_a_bad_injection_script_fails_and_leaves_nothing(self):
        with open(os.path.join(self.folder, "outside.js"), "w") as stream:
            stream.write("// outside")
        with open(os.path.join(self.project, "latin1.js"), "wb") as stream:
            stream.write(b"// caf\xe9")
        for value, message in (("../outside.js", OUTSIDE), ("scripts/../../outside.js", OUTSIDE),
                               ("missing.js", None), ("latin1.js", None), ("/outside.js", None)):
            self.write_manifest(inject_js_end=value)
            before = tree_hash(self.project)
            result = self.build()
            if message:
                self.assertRefused(result, message)
            else:
                self.assertEqual(result.returncode, 1, value)
                self.assertIn(value, result.stderr)
            self.assertNoStagingLeft()
            self.assertOutputEmpty()
            self.assertEqual(tree_hash(self.project), before)


if __name__ == "__main__":
    unittest.main()
