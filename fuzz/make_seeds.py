#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/<target>/: small,
real examples of what each reader is handed. The files are committed; run this
again only to change them."""
import io
import pathlib
import plistlib
import struct
import zipfile
import zlib

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def seed(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data.encode() if isinstance(data, str) else data)


def package_json():
    seed("package_json", "minimal.json", '{"name": "hello", "main": "index.html"}')
    seed("package_json", "window.json",
         '{"name": "app", "main": "index.html?x=1#top", "version": "1.2.0",'
         ' "window": {"width": 800, "height": 600, "resizable": false}, "inject_js_end": "fit.js"}')
    seed("package_json", "remote.json", '{"main": "https://example.invalid/", "chromium-args": ["--a"]}')
    seed("package_json", "missing_main.json", '{"name": "x", "main": ""}')
    seed("package_json", "not_object.json", '["index.html"]')
    seed("package_json", "deep.json", '{"main": "index.html", "x": ' + "[" * 600 + "]" * 600 + "}")


INFO = {"CFBundleName": "nwjs", "CFBundleIdentifier": "io.nwjs.nwjs", "CFBundleShortVersionString": "0.80.0",
        "CFBundleExecutable": "nwjs", "LSMinimumSystemVersion": "10.13", "NSHighResolutionCapable": True,
        "CFBundleDocumentTypes": [{"CFBundleTypeExtensions": ["html", "htm"], "LSItemContentTypes": []}],
        "Integer": 42, "Real": 1.5, "Data": b"\x00\x01\xff"}


def property_list():
    seed("property_list", "info.xml", plistlib.dumps(INFO, fmt=plistlib.FMT_XML))
    seed("property_list", "info.bplist", plistlib.dumps(INFO, fmt=plistlib.FMT_BINARY))
    seed("property_list", "info.txt",
         '// comment\n{\n  CFBundleName = nwjs;\n  "CFBundleIdentifier" = "io.nwjs.nwjs";\n'
         '  /* block */ Types = ( html, "h\\"tm", <0fa1 b2> );\n  Empty = {};\n}\n')
    seed("property_list", "bom.txt", "\ufeff{ a = (); }")
    # A binary array that holds itself: its object table refers back to it.
    trailer = struct.pack(">6xBBQQQ", 1, 1, 1, 0, 10)
    seed("property_list", "cycle.bplist", b"bplist00\xa1\x00\x08" + trailer)


def png(width, height, extra=b"", interlace=0):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\x00" + b"\x7f" * (width * 4) for _ in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def png_size():
    seed("png_size", "plain.png", png(4, 4))
    seed("png_size", "interlaced.png", png(5, 3, interlace=1))
    phys = struct.pack(">IIB", 5669, 5669, 1)  # 144 dots per inch
    body = b"pHYs" + phys
    seed("png_size", "retina.png", png(8, 8, struct.pack(">I", len(phys)) + body + struct.pack(">I", zlib.crc32(body))))
    seed("png_size", "truncated.png", png(16, 16)[:60])


def mach_header():
    thin64 = struct.pack("<IiiIIII", 0xFEEDFACF, 0x0100000C, 0, 2, 0, 0, 0) + b"\0" * 4
    thin32 = struct.pack("<IiiIIII", 0xFEEDFACE, 7, 3, 2, 0, 0, 0)
    seed("mach_header", "arm64", thin64)
    seed("mach_header", "i386", thin32)
    seed("mach_header", "big_endian", struct.pack(">IiiIIII", 0xFEEDFACF, 0x01000007, 3, 2, 0, 0, 0) + b"\0" * 4)
    fat = struct.pack(">II", 0xCAFEBABE, 2) + struct.pack(">iiIII", 0x01000007, 3, 64, 32, 12) + \
        struct.pack(">iiIII", 0x0100000C, 0, 96, 32, 12)
    fat += b"\0" * (64 - len(fat)) + thin64 + thin64
    seed("mach_header", "universal", fat)
    fat64 = struct.pack(">II", 0xCAFEBABF, 1) + struct.pack(">iiQQII", 0x0100000C, 0, 64, 32, 12, 0)
    seed("mach_header", "fat64", fat64 + b"\0" * (64 - len(fat64)) + thin64)


def zip_bytes(build):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        build(archive)
    return buffer.getvalue()


def entry(name, mode=0o100644):
    """A Unix entry with a fixed time, so that the seeds come out the same on every run."""
    info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = mode << 16
    return info


def symlink(archive, name, target):
    archive.writestr(entry(name, 0o120777), target)


def zip_extraction():
    def runtime(archive):
        archive.writestr(entry("nwjs.app/Contents/Info.plist"), "<plist/>")
        archive.writestr(entry("nwjs.app/Contents/MacOS/nwjs", 0o100755), b"\xcf\xfa\xed\xfe")
        archive.writestr(entry("nwjs.app/Contents/Frameworks/", 0o40755), "")
        symlink(archive, "nwjs.app/Contents/Frameworks/Current", "A")
    seed("zip_extraction", "runtime.zip", zip_bytes(runtime))
    seed("zip_extraction", "deflated.zip", zip_bytes(
        lambda a: a.writestr(entry("a/b.txt"), "x" * 500, compress_type=zipfile.ZIP_DEFLATED)))
    seed("zip_extraction", "escape.zip", zip_bytes(lambda a: a.writestr(entry("../outside"), "x")))
    seed("zip_extraction", "through_link.zip", zip_bytes(
        lambda a: (symlink(a, "out", "/tmp"), a.writestr(entry("out/x"), "x"))))


def signing_list():
    # Records of (kind, name, detail): folders, Mach-O files, symbolic links, steps up.
    seed("signing_list", "framework", bytes([0, 0, 2, 1, 1, 1, 2, 2, 0, 3, 0, 0, 0, 1, 1, 1, 2, 4]))
    seed("signing_list", "links", bytes([2, 0, 1, 2, 1, 2, 2, 2, 4, 0, 3, 0, 1, 0, 6]))


for make in (package_json, property_list, png_size, mach_header, zip_extraction, signing_list):
    make()
