"""hdiutil create: 7-Zip and dmg2img read the whole app, hfs_lookup.py finds each entry, failures leave no image."""

import os
import subprocess
import sys
import unittest

from stand_in import TOOLS, StandInTestCase, contents, mixed_bytes, run, tree

HFS_LOOKUP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hfs_lookup.py")
LONG_NAME = "a resource with a name as long as some are "


def create(volume, source, image):
    return run("hdiutil", "create", "-volname", volume, "-srcfolder", source, "-ov", "-format", "UDZO", image)


class HdiutilTest(StandInTestCase):
    def make_app(self, app):
        """What bundles hold: an executable, a private file, odd names, framework links, empty entries, and a
        framework binary several chunks long."""
        self.write(app + "/Contents/MacOS/nwjs", "#!/bin/sh\n", 0o755)
        self.write(app + "/Contents/Resources/private data.txt", "secret", 0o600)
        self.write(app + "/Contents/Resources/caf\u00e9.txt", "accent")
        self.write(app + "/Contents/Resources/empty")
        self.write(app + "/Contents/Frameworks/K.framework/Versions/A/K", mixed_bytes(2_500_000))
        os.makedirs(self.path(app, "Contents/Empty Folder"))
        os.symlink("A", self.path(app, "Contents/Frameworks/K.framework/Versions/Current"))
        os.symlink("Versions/Current/K", self.path(app, "Contents/Frameworks/K.framework/K"))
        os.symlink("../missing", self.path(app, "Contents/dangling"))
        return self.path(app)

    def test_independent_readers_read_the_whole_app_and_find_each_entry_through_the_index(self):
        app, image = self.make_app("src/Big.app"), self.path("Volume: One.dmg")
        os.symlink("/Library/Frameworks", app + "/Contents/absolute")
        # Enough entries, with names long enough, for a catalog three levels deep.
        for index in range(6000):
            self.write("src/Big.app/Contents/Resources/many/%d/%s%d" % (index % 40, LONG_NAME, index))
        self.write("Volume: One.dmg", "an old image")
        created = create("Volume: One", app, image)
        self.assertEqual((created.returncode, created.stdout), (0, "created: %s\n" % image), created.stderr)

        subprocess.run(["7zz", "x", "-snl", "-snld", "-o" + self.path("7z"), image], check=True, capture_output=True)
        extracted, source = tree(self.path("7z", "Volume_ One", "Big.app"), False), tree(app, False)
        # 7-Zip roots an absolute link in the folder it extracts to; the lookup below reads that one.
        self.assertEqual((extracted.pop("Contents/absolute")[2], source.pop("Contents/absolute")[2]),
                         (self.path("7z/Library/Frameworks"), "/Library/Frameworks"))
        self.assertTrue(extracted == source)

        subprocess.run(["dmg2img", "-i", image, "-o", self.path("volume.img")], check=True, capture_output=True)
        app, many = "Big.app/Contents/", "Big.app/Contents/Resources/many/%d/" + LONG_NAME + "%d"
        lookups = {"Big.app": "folder 0o40755 0", app + "MacOS/nwjs": "file 0o100755 10",
                   app + "Resources/private data.txt": "file 0o100600 6",
                   app + "Frameworks/K.framework/Versions/A/K": "file 0o100644 2500000",
                   app + "Frameworks/K.framework/Versions/Current": "link 0o120777 1 A",
                   app + "absolute": "link 0o120777 19 /Library/Frameworks", many % (0, 0): "file 0o100644 0",
                   many % (39, 5999): "file 0o100644 0", many % (17, 3017): "file 0o100644 0",
                   many % (17, 3018): "missing"}
        looked = subprocess.run([sys.executable, HFS_LOOKUP, self.path("volume.img"), *lookups],
                                capture_output=True, text=True)
        self.assertEqual(looked.returncode, 0, looked.stderr)
        # ':' is stored as '/', as the platform's file system layer does.
        expected = ["Volume/ One", "depth 3"] + ["%s %s" % item for item in lookups.items()]
        self.assertEqual(looked.stdout.splitlines(), expected)

    def test_failures_leave_no_image_and_an_old_one_as_it_was(self):
        app, fifo = self.make_app("A.app"), self.make_app("Fifo.app")
        os.mkfifo(fifo + "/Contents/pipe")
        self.write("plain.txt", "not a folder")
        os.mkdir(self.path("out"))
        for source, image, named in (("Missing.app", "out/A.dmg", "Missing.app"),
                                     ("plain.txt", "out/A.dmg", "plain.txt"),
                                     ("Fifo.app", "out/A.dmg", "Fifo.app/Contents/pipe"),
                                     ("A.app", "out/none/A.dmg", "out/none/A.dmg"),
                                     ("A.app", "A.app/Contents/A.dmg", "A.app/Contents/A.dmg")):
            result = create("A", self.path(source), self.path(image))
            self.assertEqual(result.returncode, 1)
            self.assertIn(self.path(named), result.stderr)
            self.assertEqual(os.listdir(self.path("out")), [])
            self.assertFalse(os.path.exists(self.path(image)))
        # A file-size limit makes writing fail part way, as a full disk would.
        old = self.write("out/A.dmg", "the old image")
        result = subprocess.run(["/bin/sh", "-c", 'trap "" XFSZ; ulimit -f 1000; exec "$@"', "sh", TOOLS + "/hdiutil",
                                 "create", "-volname", "A", "-srcfolder", app, "-ov", "-format", "UDZO", old],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("Could not write the image " + old, result.stderr)
        self.assertEqual(contents(old), b"the old image")
        self.assertEqual(os.listdir(self.path("out")), ["A.dmg"])


if __name__ == "__main__":
    unittest.main()
