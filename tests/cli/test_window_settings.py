"""The window settings that a built app's package.json carries, for each set of window options."""

import json
import os
import shutil

from harness import BuildTestCase, added_by_configuration, bundled_project_hash, tree_hash, write

# The project's window asks for what a built app never is; the build decides those keys.
PROJECT_WINDOW = {"icon": "icon.png", "min_width": 800, "max_height": 900, "position": "mouse", "fullscreen": True,
                  "kiosk": True, "frame": True, "title": "Mine"}
FRAMED = {"title": "Demo", "width": 900, "height": 700, "resizable": True, "always_on_top": False, "frame": True,
          "position": "center"}


class WindowSettingsTest(BuildTestCase):
    def test_each_set_of_window_options(self):
        write(os.path.join(self.project, "js/boot.js"), "window.booted = true;")
        write(os.path.join(self.project, "package.json"), json.dumps(
            {"main": "index.html", "window": PROJECT_WINDOW, "inject_js_end": "js/boot.js", "zoom": 1.5}))
        before = tree_hash(self.project)
        for options, window in (
                ((), FRAMED),
                (("--frameless", "--fixed", "--always-on-top", "--no-center", "--width", "640", "--height", "480"),
                 dict(title=" ", width=640, height=480, resizable=False, always_on_top=True, frame=False)),
                (("--close-button",), dict(FRAMED, title=" ", frame=False))):
            with self.subTest(options):
                result = self.build("--bundle-id", "com.Example.Demo", "--version", "2.0", *options)
                self.assertEqual(result.returncode, 0, result.stderr)
                app = os.path.join(self.output, "Demo.app")
                staged = os.path.join(app, "Contents/Resources/app.nw")
                with open(os.path.join(staged, "package.json")) as stream:
                    manifest = json.load(stream)
                self.assertEqual(manifest.pop("window"), dict(window, icon="icon.png", fullscreen=False, kiosk=False))
                script = manifest.pop("inject_js_end")
                self.assertTrue(added_by_configuration(script), script)
                self.assertTrue(os.path.isfile(os.path.join(staged, script)))
                self.assertEqual(manifest, {"main": "index.html", "name": "com.example.demo", "version": "2.0",
                                            "zoom": 1.5})
                self.assertEqual(bundled_project_hash(app), tree_hash(self.project, leave_out=added_by_configuration))
                self.assertEqual(tree_hash(self.project), before)
                shutil.rmtree(self.output)

