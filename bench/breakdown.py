"""Where one realistic build spends its time: inside each tool run, and in the engine's own work."""

import collections
import os
import shutil
import subprocess

from measure import BUILD, TOOL_ROOT, make_project, make_runtime, measured, timed_build

CLOCK = os.path.join(BUILD, "bench/bench_tool_clock")


def clock_root(folder):
    """A tool root with the timing wrapper under every path of the stand-in root."""
    for current, _, names in os.walk(TOOL_ROOT):
        for name in names:
            relative = os.path.relpath(os.path.join(current, name), TOOL_ROOT)
            os.makedirs(os.path.join(folder, os.path.dirname(relative)), exist_ok=True)
            os.symlink(CLOCK, os.path.join(folder, relative))
    return folder


def run(scratch, project):
    """Three builds: the realistic one the engine's share is judged on, a plain one from the .app (where
    signing and verifying are most of the work beyond the copy), and a 100,000-file project with
    packages, whose tools see the most entries."""
    breakdown(scratch, project, make_runtime(os.path.join(scratch, "runtime-breakdown"), 100), ("--zip", "--dmg"),
              "realistic --zip --dmg build from .zip")
    print()
    breakdown(scratch, project, make_runtime(os.path.join(scratch, "runtime-breakdown-app"), 100, "app"), (),
              "realistic plain build from .app")
    print()
    many = make_project(os.path.join(scratch, "project-breakdown"), 100000)
    breakdown(scratch, many, make_runtime(os.path.join(scratch, "runtime-breakdown-small"), 10, "app"),
              ("--zip", "--dmg"), "100,000-file project, --zip --dmg from the 10 % .app")
    shutil.rmtree(many)


def breakdown(scratch, project, runtime, options, label):
    root = clock_root(os.path.join(scratch, "clock-root"))
    log = os.path.join(scratch, "tool-times.log")
    env = dict(os.environ, BUNDLEKILN_TOOL_ROOT=root, BENCH_CLOCK_ROOT=root, BENCH_REAL_TOOL_ROOT=TOOL_ROOT,
               BENCH_TOOL_LOG=log)
    total, _, cpu = timed_build(project, runtime, scratch, *options, env=env, measure=measured)
    times = collections.OrderedDict()
    with open(log) as lines:
        for line in lines:
            tool, seconds, peak, tool_cpu = line.rsplit(" ", 3)
            times.setdefault(tool, [0, 0.0, 0])
            times[tool][0] += 1
            times[tool][1] += float(seconds)
            times[tool][2] = max(times[tool][2], int(peak))
            cpu -= float(tool_cpu)
    os.remove(log)
    shutil.rmtree(root)
    print("Per-step breakdown: %s, %.2f s" % (label, total))
    print("%-22s %5s %8s %7s %9s" % ("", "runs", "s", "share", "peak MiB"))
    for tool, (count, seconds, peak) in times.items():
        print("%-22s %5d %8.2f %6.1f%% %9.1f" % (tool, count, seconds, 100 * seconds / total, peak / 1024))
    own = total - sum(seconds for _, seconds, _ in times.values())
    print("%-22s %5s %8.2f %6.1f%%   (target <= 5 %%)" % ("engine's own work", "", own, 100 * own / total))
    # The wall time above also holds waiting for a core between tool runs on a busy machine; the
    # engine's processor time (that of the timing wrappers included) does not.
    print("%-22s %5s %8.2f %6.1f%%" % ("engine's processor time", "", cpu, 100 * cpu / total))
