"""lipo -archs reads thin, fat and fat64 headers of every width and byte order, and the objects clang makes,
as llvm-lipo does, and refuses what is not a sound Mach-O file."""

import struct
import subprocess
import unittest

from stand_in import StandInTestCase, contents, run

CPUS = [(0x01000007, 3), (0x01000007, 8), (0x0100000c, 0), (0x0100000c, 2), (0x0200000c, 1), (7, 3), (12, 9),
        (12, 11), (12, 12), (18, 0), (0x01000012, 0), (12, 16), (99, 5), (0x0100000c, 99),
        (0x0100000c, 0x80000002),  # capability bits set: still arm64e
        (0xffffffff, 0xffffffff)]


def thin(cpu, is_64_bit=True, big_endian=False):
    """A bare header: magic, cputype, cpusubtype, filetype (object), no load commands, flags [, reserved]."""
    order = ">" if big_endian else "<"
    magic = 0xfeedfacf if is_64_bit else 0xfeedface
    return struct.pack(order + ("8I" if is_64_bit else "7I"), magic, *cpu, 1, 0, 0, 0, *([0] if is_64_bit else []))


def fat(cpus, wide=False):
    """A fat (or fat64) file of bare 64-bit slices at 4 KiB alignment."""
    header, body = struct.pack(">II", 0xcafebabf if wide else 0xcafebabe, len(cpus)), b""
    for index, cpu in enumerate(cpus):
        offset = 4096 * (index + 1)
        header += struct.pack(">IIQQII" if wide else ">IIIII", *cpu, offset, len(thin(cpu)), 12, *([0] if wide else []))
        body = body.ljust(offset - 4096, b"\0") + thin(cpu)
    return header.ljust(4096, b"\0") + body


def llvm_lipo(path):
    return subprocess.run(["llvm-lipo-14", "-archs", path], capture_output=True, text=True)


class LipoTest(StandInTestCase):
    def test_headers_and_objects_read_as_llvm_lipo_reads_them(self):
        source = self.write("main.c", "int answer(void) { return 42; }\n")
        objects = [self.path(arch + ".o") for arch in ("arm64", "x86_64")] + [self.path("universal.o")]
        for arch, path in zip(("arm64", "x86_64"), objects):
            subprocess.run(["clang-14", "-target", arch + "-apple-macos11", "-c", source, "-o", path], check=True)
        subprocess.run(["llvm-lipo-14", "-create", *objects[:2], "-output", objects[2]], check=True)
        files = [thin(cpu, is_64_bit, big) for cpu in CPUS for is_64_bit in (False, True) for big in (False, True)]
        files += [fat([(0x01000007, 3), (0x0100000c, 0), (99, 5), (0x0100000c, 2)], wide) for wide in (False, True)]
        files += [contents(path) for path in objects]
        for data in files:
            with self.subTest(data=data[:12].hex()):
                path = self.write("file", data)
                reference = llvm_lipo(path)
                self.assertEqual(reference.returncode, 0, reference.stderr)
                # llvm-lipo ends its list with a blank; we do not.
                self.assertEqual(run("lipo", "-archs", path).stdout, reference.stdout.replace(" \n", "\n"))

    def test_refuses_what_is_not_a_sound_mach_o_file(self):
        one = fat([(0x01000007, 3)])
        cases = {"empty": b"", "short magic": b"\xcf\xfa", "unknown magic": b"\x7fELF" + bytes(60),
                 "thin cut short": thin((0x0100000c, 0))[:20], "32-bit cut short": thin((7, 3), False, True)[:24],
                 "little-endian fat": b"\xbe\xba\xfe\xca" + bytes(60),
                 "fat without archs": struct.pack(">II", 0xcafebabe, 0),
                 "fat count past the end": struct.pack(">II", 0xcafebabe, 1000) + bytes(100),
                 "fat slice past the end": one[:-1], "fat header cut short": struct.pack(">I", 0xcafebabe) + bytes(2),
                 "java class": struct.pack(">II", 0xcafebabe, 52) + bytes(2000)}
        paths = [self.write(name, data) for name, data in cases.items()] + [self.folder, self.path("missing")]
        for path in paths:
            with self.subTest(path=path):
                self.assertNotEqual(llvm_lipo(path).returncode, 0)
                ours = run("lipo", "-archs", path)
                self.assertEqual((ours.returncode, ours.stdout), (1, ""))
                self.assertIn(path, ours.stderr)


if __name__ == "__main__":
    unittest.main()
