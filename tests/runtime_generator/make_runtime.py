#!/usr/bin/env python3
"""Generates NW.js runtimes for macOS with the layout of the real download.

No real runtime can be fetched on this machine, so tests, the demo and the
benchmarks use these: an nwjs.app whose executables carry real Mach-O headers
(arm64, x86_64 or both), an Info.plist (XML, binary or the old text format), the framework with its
Versions/Current links, nested helper apps, and optionally the download's zip
(top folder nwjs-vVERSION-osx-ARCH/ holding nwjs.app and a licence file).

Prints the path of what it made.
"""

import argparse
import os
import plistlib
import shutil
import struct
import sys
import zipfile

CPU_TYPES = {"arm64": (0x0100000C, 0), "x86_64": (0x01000007, 3)}
MH_EXECUTE, MH_DYLIB = 2, 6
SLICE_ALIGNMENT = 14  # 16 KiB, as the real universal runtime uses
FRAMEWORK = "nwjs Framework.framework"
FRAMEWORK_VERSION = "115.0.6312.58"


LC_ID_DYLIB = 0xD


def id_dylib_command(install_name):
    """A library must name itself, or readers refuse it as malformed."""
    name = install_name.encode() + b"\0"
    size = (24 + len(name) + 7) // 8 * 8
    return struct.pack("<IIIIII", LC_ID_DYLIB, size, 24, 2, 0x10000, 0x10000) + name.ljust(size - 24, b"\0")


def thin_header(arch, file_type):
    cpu, subtype = CPU_TYPES[arch]
    commands = id_dylib_command("@rpath/library.dylib") if file_type == MH_DYLIB else b""
    count = 1 if commands else 0
    return struct.pack("<IiiIIIII", 0xFEEDFACF, cpu, subtype, file_type, count, len(commands), 0, 0) + commands


def write_filler(stream, size):
    """Half random, half text, so that the file compresses about as a real binary does."""
    block = 1 << 20
    text = (b"__TEXT __DATA __LINKEDIT _objc_msgSend v8::Isolate " * 30000)[:block]
    written = 0
    while written < size:
        count = min(block, size - written)
        stream.write(os.urandom(count) if (written // block) % 2 == 0 else text[:count])
        written += count


def write_macho(path, archs, file_type, size):
    """A Mach-O file of about `size` bytes: thin for one architecture, fat for several."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        if len(archs) == 1:
            header = thin_header(archs[0], file_type)
            stream.write(header)
            write_filler(stream, max(0, size - len(header)))
        else:
            write_fat(stream, archs, file_type, size)
    os.chmod(path, 0o755)


def write_fat(stream, archs, file_type, size):
    alignment = 1 << SLICE_ALIGNMENT
    slice_size = max(alignment, (size // len(archs)) // alignment * alignment)
    stream.write(struct.pack(">II", 0xCAFEBABE, len(archs)))
    for index, arch in enumerate(archs):
        cpu, subtype = CPU_TYPES[arch]
        offset = alignment * (1 + index * (slice_size // alignment))
        stream.write(struct.pack(">iiIII", cpu, subtype, offset, slice_size, SLICE_ALIGNMENT))
    for index, arch in enumerate(archs):
        stream.seek(alignment * (1 + index * (slice_size // alignment)))
        header = thin_header(arch, file_type)
        stream.write(header)
        write_filler(stream, slice_size - len(header))


TEXT_FORMAT = "text"


def openstep_text(value, indent=""):
    """The old text property-list format. It has strings only: booleans become YES and NO, as old runtimes had them."""
    if isinstance(value, dict):
        inner = indent + "\t"
        entries = "".join("%s%s = %s;\n" % (inner, openstep_text(key), openstep_text(item, inner))
                          for key, item in value.items())
        return "{\n%s%s}" % (entries, indent)
    if isinstance(value, bool):
        return "YES" if value else "NO"
    return '"%s"' % str(value).replace("\\", "\\\\").replace('"', '\\"')


def write_plist(path, contents, plist_format):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        if plist_format == TEXT_FORMAT:
            stream.write(("// Info.plist in the old text format\n" + openstep_text(contents) + "\n").encode())
        else:
            plistlib.dump(contents, stream, fmt=plist_format, sort_keys=False)


def app_plist(executable, identifier, version):
    return {
        "CFBundleDevelopmentRegion": "en",
        "CFBundleDisplayName": executable,
        "CFBundleExecutable": executable,
        "CFBundleIconFile": "app.icns",
        "CFBundleIdentifier": identifier,
        "CFBundleInfoDictionaryVersion": "6.0",
        "CFBundleName": executable,
        "CFBundlePackageType": "APPL",
        "CFBundleShortVersionString": version,
        "CFBundleVersion": FRAMEWORK_VERSION,
        "LSMinimumSystemVersion": "10.15",
        "NSSupportsAutomaticGraphicsSwitching": True,
        "LSFileQuarantineEnabled": True,
        "NSPrincipalClass": "NSApplication",
        "SCMRevision": "nw115",
    }


def write_file(path, data, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(data)
    os.chmod(path, mode)


def write_helper(helpers, name, archs, plist_format):
    app = os.path.join(helpers, name + ".app", "Contents")
    write_macho(os.path.join(app, "MacOS", name), archs, MH_EXECUTE, 64 << 10)
    write_plist(os.path.join(app, "Info.plist"), app_plist(name, "io.nwjs.nwjs.helper", "115.0"), plist_format)


def write_framework(frameworks, archs, plist_format, framework_bytes, resource_files):
    root = os.path.join(frameworks, FRAMEWORK)
    version = os.path.join(root, "Versions", FRAMEWORK_VERSION)
    write_macho(os.path.join(version, "nwjs Framework"), archs, MH_DYLIB, framework_bytes)
    write_macho(os.path.join(version, "Libraries", "libffmpeg.dylib"), archs, MH_DYLIB, 256 << 10)
    write_macho(os.path.join(version, "Helpers", "chrome_crashpad_handler"), archs, MH_EXECUTE, 64 << 10)
    for helper in ("nwjs Helper", "nwjs Helper (Alerts)", "nwjs Helper (GPU)", "nwjs Helper (Plugin)",
                   "nwjs Helper (Renderer)"):
        write_helper(os.path.join(version, "Helpers"), helper, archs, plist_format)
    resources = os.path.join(version, "Resources")
    write_plist(os.path.join(resources, "Info.plist"), app_plist("nwjs Framework", "io.nwjs.nwjs.framework", "115.0"), plist_format)
    for index in range(resource_files):
        locale = os.path.join(resources, "locale%04d.lproj" % (index // 20), "locale%d.pak" % index)
        write_file(locale, os.urandom(512) + b"\0" * 1536)
    os.symlink(FRAMEWORK_VERSION, os.path.join(root, "Versions", "Current"))
    for name in ("nwjs Framework", "Libraries", "Helpers", "Resources"):
        os.symlink(os.path.join("Versions", "Current", name), os.path.join(root, name))


def write_app(app, archs, plist_format, framework_bytes, resource_files):
    contents = os.path.join(app, "Contents")
    write_macho(os.path.join(contents, "MacOS", "nwjs"), archs, MH_EXECUTE, 128 << 10)
    write_plist(os.path.join(contents, "Info.plist"), app_plist("nwjs", "io.nwjs.nwjs", "115.0.0"), plist_format)
    write_file(os.path.join(contents, "PkgInfo"), b"APPL????")
    write_file(os.path.join(contents, "Resources", "app.icns"), b"icns\0\0\0\x08")
    write_file(os.path.join(contents, "Resources", "en.lproj", "InfoPlist.strings"), b'CFBundleName = "nwjs";\n')
    write_framework(os.path.join(contents, "Frameworks"), archs, plist_format, framework_bytes, resource_files)


def zip_tree(folder, archive):
    """A zip as the download is: folders, files with their modes, links as links."""
    base = os.path.dirname(folder)
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as output:
        for current, folders, files in os.walk(folder):
            folders.sort()
            add_zip_entry(output, current, base, is_folder=True)
            for name in sorted(files) + [f for f in folders if os.path.islink(os.path.join(current, f))]:
                add_zip_entry(output, os.path.join(current, name), base)
            folders[:] = [f for f in folders if not os.path.islink(os.path.join(current, f))]


def add_zip_entry(output, path, base, is_folder=False):
    name = os.path.relpath(path, base) + ("/" if is_folder else "")
    info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.create_system = 3
    mode = os.lstat(path).st_mode
    info.external_attr = (mode & 0xFFFF) << 16
    if os.path.islink(path):
        output.writestr(info, os.readlink(path))
    elif is_folder:
        info.external_attr |= 0x10
        output.writestr(info, b"")
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as source, output.open(info, "w") as target:
            while chunk := source.read(1 << 20):
                target.write(chunk)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--into", required=True, help="folder that receives the runtime")
    parser.add_argument("--form", choices=("zip", "folder", "app"), default="zip")
    parser.add_argument("--arch", choices=("arm64", "x86_64", "universal"), default="arm64")
    parser.add_argument("--plist", choices=("xml", "binary", TEXT_FORMAT), default="xml",
                        help="format of every Info.plist; text is the old (OpenStep) text format")
    parser.add_argument("--version", default="0.115.0")
    parser.add_argument("--framework-mb", type=float, default=1.0, help="size of the framework binary")
    parser.add_argument("--resource-files", type=int, default=40, help="number of resource files in the framework")
    options = parser.parse_args()

    archs = ["x86_64", "arm64"] if options.arch == "universal" else [options.arch]
    arch_name = {"arm64": "arm64", "x86_64": "x64", "universal": "universal"}[options.arch]
    plist_format = {"xml": plistlib.FMT_XML, "binary": plistlib.FMT_BINARY, TEXT_FORMAT: TEXT_FORMAT}[options.plist]
    top = os.path.join(os.path.abspath(options.into), "nwjs-v%s-osx-%s" % (options.version, arch_name))
    if os.path.lexists(top):
        sys.exit("%s already exists" % top)
    write_app(os.path.join(top, "nwjs.app"), archs, plist_format, int(options.framework_mb * (1 << 20)), options.resource_files)
    write_file(os.path.join(top, "credits.html"), b"<html><body>Licences</body></html>\n")
    if options.form == "folder":
        print(top)
    elif options.form == "app":
        print(os.path.join(top, "nwjs.app"))
    else:
        zip_tree(top, top + ".zip")
        shutil.rmtree(top)
        print(top + ".zip")


if __name__ == "__main__":
    main()
