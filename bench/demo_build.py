#!/usr/bin/env python3
"""Times a headless build on a runtime of realistic size against the floor for the same bytes.

The floor is what any packager must do at least: unzip the runtime, copy its app, copy the
project (`unzip -q` + `cp -a` + `cp -a`), on the same disk in the same run. Prints medians of
several runs, their ratio, and the peak resident memory of the build.
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
EXECUTABLE = os.path.join(ROOT, "build/bin/bundlekiln")
GENERATOR = os.path.join(ROOT, "tests/runtime_generator/make_runtime.py")
PROJECT = os.path.join(ROOT, "examples/hello")


# Run in a fresh interpreter, so that its children's peak is the build's alone.
MEASURE = """
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
print(time.perf_counter() - start, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
"""


def timed(command, **options):
    """Seconds taken, and the peak RSS (KiB) of the largest process of the command (the
    engine or one of its tools)."""
    result = subprocess.run([sys.executable, "-c", MEASURE, *command], check=True, capture_output=True,
                            text=True, **options)
    elapsed, peak = result.stdout.split()
    return float(elapsed), int(peak)


def floor_once(runtime, scratch):
    target = os.path.join(scratch, "floor")
    os.makedirs(target)
    start = time.perf_counter()
    subprocess.run(["unzip", "-q", runtime, "-d", os.path.join(target, "unzipped")], check=True)
    app = next(os.path.join(d, "nwjs.app") for d, names, _ in os.walk(target) if "nwjs.app" in names)
    subprocess.run(["cp", "-a", app, os.path.join(target, "Demo.app")], check=True)
    subprocess.run(["cp", "-a", PROJECT, os.path.join(target, "Demo.app/Contents/Resources/app.nw")], check=True)
    elapsed = time.perf_counter() - start
    shutil.rmtree(target)
    return elapsed


def build_once(runtime, scratch):
    output = os.path.join(scratch, "out")
    command = [EXECUTABLE, "--build", "--project", PROJECT, "--runtime", runtime, "--output", output, "--name", "Demo"]
    elapsed, peak = timed(command, env=dict(os.environ, TMPDIR=scratch))
    shutil.rmtree(output)
    return elapsed, peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--framework-mb", type=float, default=300)
    parser.add_argument("--resource-files", type=int, default=2500)
    options = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="bundlekiln-bench-", dir=os.environ.get("BENCH_DIR"))
    try:
        runtime = subprocess.run(["python3", GENERATOR, "--into", scratch, "--framework-mb", str(options.framework_mb),
                                  "--resource-files", str(options.resource_files)],
                                 check=True, capture_output=True, text=True).stdout.strip()
        print("runtime zip: %.0f MB" % (os.path.getsize(runtime) / 1e6))
        floors, builds, peaks = [], [], []
        for _ in range(options.runs):
            floors.append(floor_once(runtime, scratch))
            elapsed, peak = build_once(runtime, scratch)
            builds.append(elapsed)
            peaks.append(peak)
        floor, build = statistics.median(floors), statistics.median(builds)
        print("%-28s %8s %8s %7s %14s" % ("", "build s", "floor s", "ratio", "peak RSS MiB"))
        print("%-28s %8.2f %8.2f %7.2f %14.1f" % ("ad-hoc build from .zip", build, floor, build / floor, max(peaks) / 1024))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
