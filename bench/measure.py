"""Shared pieces of the benchmarks: timing a command with its peak memory, medians, generated inputs."""

import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
EXECUTABLE = os.path.join(BUILD, "bin/bundlekiln")
TOOL_ROOT = os.path.join(BUILD, "libexec/bundlekiln/toolroot")
GENERATOR = os.path.join(ROOT, "tests/runtime_generator/make_runtime.py")
EXAMPLE = os.path.join(ROOT, "examples/hello")

# Realistic size: a few hundred MB over a few thousand files, most in the framework binary.
FULL_FRAMEWORK_MB = 300
FULL_RESOURCE_FILES = 2500

# Run in a fresh interpreter, so that its children's peak is the command's alone.
_MEASURE = """
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(time.perf_counter() - start, usage.ru_maxrss, usage.ru_utime + usage.ru_stime)
"""


def measured(command, env=None):
    """Seconds taken, the peak resident memory in MiB of the largest process the command ran, and the
    processor seconds of all of them."""
    result = subprocess.run([sys.executable, "-c", _MEASURE, *command], check=True, capture_output=True, text=True,
                            env=env)
    elapsed, peak, cpu = result.stdout.split()
    return float(elapsed), int(peak) / 1024, float(cpu)


def timed(command, env=None):
    """Seconds taken, and the peak resident memory in MiB of the largest process the command ran."""
    return measured(command, env)[:2]


def stopwatch(work):
    start = time.perf_counter()
    work()
    return time.perf_counter() - start


def median(values):
    return statistics.median(values)


def make_runtime(into, percent, form="zip"):
    """A generated runtime at `percent` of the realistic size, as a zip or an app; returns its path."""
    os.makedirs(into, exist_ok=True)
    return subprocess.run(["python3", GENERATOR, "--into", into, "--form", form,
                           "--framework-mb", str(FULL_FRAMEWORK_MB * percent / 100),
                           "--resource-files", str(max(1, FULL_RESOURCE_FILES * percent // 100))],
                          check=True, capture_output=True, text=True).stdout.strip()


def make_project(folder, files):
    """An HTML project of `files` small files (the page among them)."""
    os.makedirs(folder)
    with open(os.path.join(folder, "index.html"), "w") as page:
        page.write("<!doctype html><title>Bench</title><p>Bench</p>\n")
    for index in range(files - 1):
        sub = os.path.join(folder, "assets", str(index % 100))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "a%d.js" % index), "w") as asset:
            asset.write("console.log(%d);\n" % index)
    return folder


def tree_bytes(top):
    return sum(os.lstat(os.path.join(folder, name)).st_size for folder, _, names in os.walk(top) for name in names)


def build_command(project, runtime, output, *options):
    return [EXECUTABLE, "--build", "--project", project, "--runtime", runtime, "--output", output,
            "--name", "Demo", *options]


def timed_build(project, runtime, scratch, *options, env=None, measure=timed):
    """One headless build into a fresh output folder, staged under `scratch`: (seconds, peak MiB), or
    what `measure` returns."""
    output = os.path.join(scratch, "out")
    environment = dict(env or os.environ, TMPDIR=scratch)
    try:
        return measure(build_command(project, runtime, output, *options), env=environment)
    finally:
        shutil.rmtree(output, ignore_errors=True)


def floor_seconds(project, runtime, scratch, packages=False):
    """What any packager must do at least for the same bytes: unzip the runtime (when it is a zip),
    copy its app, copy the project (unzip -q + cp -a + cp -a); with packages also zip -qry of the app
    and gzip -6 of an image of it (an uncompressed tar stream of the same bytes)."""
    target = os.path.join(scratch, "floor")
    os.makedirs(target)
    try:
        start = time.perf_counter()
        app = runtime
        if runtime.endswith(".zip"):
            subprocess.run(["unzip", "-q", runtime, "-d", os.path.join(target, "unzipped")], check=True)
            app = next(os.path.join(d, "nwjs.app") for d, names, _ in os.walk(target) if "nwjs.app" in names)
        subprocess.run(["cp", "-a", app, os.path.join(target, "Demo.app")], check=True)
        subprocess.run(["cp", "-a", project, os.path.join(target, "Demo.app/Contents/Resources/app.nw")], check=True)
        if packages:
            subprocess.run(["zip", "-qry", "Demo.zip", "Demo.app"], check=True, cwd=target)
            subprocess.run("tar -cf - Demo.app | gzip -6 > Demo.img.gz", shell=True, check=True, cwd=target)
        return time.perf_counter() - start
    finally:
        shutil.rmtree(target)
