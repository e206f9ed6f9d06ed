"""Whole headless builds against their floors, with peak memory, at realistic size and at 10 %."""

import os

from measure import floor_seconds, make_runtime, median, timed_build

# (label, runtime form, build options, floor with packages)
KINDS = [
    ("ad-hoc build from .zip", "zip", (), False),
    ("ad-hoc build from .app", "app", (), False),
    ("--zip --dmg from .zip", "zip", ("--zip", "--dmg"), True),
]


def run(scratch, project, runs):
    print("Whole builds (medians of %d; the floor runs in the same run on the same disk)" % runs)
    print("%-8s %-24s %8s %8s %7s %9s" % ("runtime", "build", "build s", "floor s", "ratio", "peak MiB"))
    for percent in (100, 10):
        runtimes = {form: make_runtime(os.path.join(scratch, "runtime-%d-%s" % (percent, form)), percent, form)
                    for form in ("zip", "app")}
        for label, form, options, packages in KINDS:
            builds, floors, peaks = [], [], []
            for _ in range(runs):
                floors.append(floor_seconds(project, runtimes[form], scratch, packages))
                elapsed, peak = timed_build(project, runtimes[form], scratch, *options)
                builds.append(elapsed)
                peaks.append(peak)
            build, floor = median(builds), median(floors)
            print("%-8s %-24s %8.2f %8.2f %7.2f %9.1f" % ("%d %%" % percent, label, build, floor, build / floor,
                                                           max(peaks)))
    print("targets: plain builds <= 1.15 x floor, --zip --dmg <= 1.0 x floor, peak <= 64 MiB")
