#!/usr/bin/env python3
"""Times the stand-in hdiutil making a compressed disk image of a runtime of realistic size
against `zip -qry` of the same tree, on the same disk in the same run. Prints the medians of
several runs, their ratio, and the peak resident memory of hdiutil.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GENERATOR = os.path.join(ROOT, "tests/runtime_generator/make_runtime.py")

# Run in a fresh interpreter, so that its child's peak is the tool's alone.
MEASURE = """
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[2:], check=True, stdout=subprocess.DEVNULL, cwd=sys.argv[1])
print(time.perf_counter() - start, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
"""


def timed(folder, command):
    """Seconds taken by `command` run in `folder`, and its peak RSS in KiB."""
    result = subprocess.run([sys.executable, "-c", MEASURE, folder, *command], check=True, capture_output=True,
                            text=True)
    elapsed, peak = result.stdout.split()
    return float(elapsed), int(peak)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--framework-mb", type=float, default=300)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build folder holding the tool root")
    options = parser.parse_args()
    hdiutil = os.path.join(os.path.abspath(options.build), "libexec/bundlekiln/toolroot/usr/bin/hdiutil")
    scratch = tempfile.mkdtemp(prefix="bundlekiln-bench-", dir=os.environ.get("BENCH_DIR"))
    try:
        app = subprocess.run(["python3", GENERATOR, "--into", scratch, "--form", "app",
                              "--framework-mb", str(options.framework_mb)],
                             check=True, capture_output=True, text=True).stdout.strip()
        folder, name = os.path.split(app)
        zips, images, peaks = [], [], []
        for _ in range(options.runs):
            zips.append(timed(folder, ["zip", "-qry", os.path.join(scratch, "app.zip"), name])[0])
            os.remove(os.path.join(scratch, "app.zip"))
            elapsed, peak = timed(folder, [hdiutil, "create", "-volname", "nwjs", "-srcfolder", name, "-ov",
                                           "-format", "UDZO", os.path.join(scratch, "app.dmg")])
            images.append(elapsed)
            peaks.append(peak)
        size = os.path.getsize(os.path.join(scratch, "app.dmg"))
        zipped, imaged = statistics.median(zips), statistics.median(images)
        print("app: %.0f MB; image: %.0f MB" % (tree_size(app) / 1e6, size / 1e6))
        print("%-18s %8s %8s %7s %14s" % ("", "image s", "zip s", "ratio", "peak RSS MiB"))
        print("%-18s %8.2f %8.2f %7.2f %14.1f" % ("hdiutil create", imaged, zipped, imaged / zipped, max(peaks) / 1024))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def tree_size(top):
    return sum(os.lstat(os.path.join(folder, name)).st_size
               for folder, _, names in os.walk(top) for name in names)


if __name__ == "__main__":
    sys.exit(main())
