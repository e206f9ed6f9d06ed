import os
import plistlib
import subprocess
import unittest

from harness import TOOL_ROOT, BuildTestCase


def llvm_archs(path):
    return subprocess.run(["llvm-lipo-14", "-archs", path], check=True, capture_output=True, text=True).stdout.split()


def our_archs(path):
    lipo = os.path.join(TOOL_ROOT, "usr/bin/lipo")
    return subprocess.run([lipo, "-archs", path], check=True, capture_output=True, text=True).stdout.split()


class IndependentReadersTest(BuildTestCase):
    def test_built_binaries_read_the_same_with_llvm_lipo(self):
        for arch, expected in (("arm64", ["arm64"]), ("x86_64", ["x86_64"]), ("universal", ["x86_64", "arm64"])):
            option = "x64" if arch == "x86_64" else "arm64"
            result = self.build("--arch", option, runtime=self.runtime(arch=arch, plist="binary"), name=arch)
            self.assertEqual(result.returncode, 0, result.stderr)
            app = os.path.join(self.output, arch + ".app")
            for binary in ("Contents/MacOS/nwjs",
                           "Contents/Frameworks/nwjs Framework.framework/nwjs Framework"):
                path = os.path.join(app, binary)
                self.assertEqual(llvm_archs(path), expected)
                self.assertEqual(our_archs(path), expected)
            with open(os.path.join(app, "Contents/Info.plist"), "rb") as stream:
                self.assertIsInstance(plistlib.load(stream), dict)

    def test_clang_objects_read_the_same(self):
        source = os.path.join(self.folder, "main.c")
        open(source, "w").write("int main(void) { return 0; }\n")
        for target in ("arm64-apple-macos11", "x86_64-apple-macos10.15"):
            target_object = os.path.join(self.folder, target + ".o")
            subprocess.run(["clang", "-target", target, "-c", source, "-o", target_object], check=True)
            self.assertEqual(our_archs(target_object), llvm_archs(target_object))


if __name__ == "__main__":
    unittest.main()
