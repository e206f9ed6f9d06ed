"""Build time against project size and against runtime size."""

import os
import shutil

from measure import make_project, make_runtime, median, timed_build


def run(scratch, project, runs):
    print("Scaling: project size (ad-hoc build from the 10 %% .app, medians of %d)" % runs)
    print("%-12s %8s %9s %12s" % ("files", "build s", "peak MiB", "ms per file"))
    app = make_runtime(os.path.join(scratch, "runtime-scaling"), 10, "app")
    base = None
    for files in (1, 1000, 10000, 100000):
        folder = make_project(os.path.join(scratch, "project-%d" % files), files)
        samples = [timed_build(folder, app, scratch) for _ in range(runs)]
        elapsed = median([seconds for seconds, _ in samples])
        base = elapsed if base is None else base
        print("%-12d %8.2f %9.1f %12s" % (files, elapsed, max(peak for _, peak in samples),
                                          "%.3f" % (1000 * (elapsed - base) / files) if files > 1 else "-"))
        shutil.rmtree(folder)
    print("Scaling: runtime size (ad-hoc build from .zip, medians of %d)" % runs)
    print("%-12s %8s %9s %12s" % ("runtime", "build s", "peak MiB", "s per 100 %"))
    for percent in (10, 50, 100, 200):
        folder = os.path.join(scratch, "runtime-scale-%d" % percent)
        runtime = make_runtime(folder, percent)
        samples = [timed_build(project, runtime, scratch) for _ in range(runs)]
        elapsed = median([seconds for seconds, _ in samples])
        print("%-12s %8.2f %9.1f %12.2f" % ("%d %%" % percent, elapsed, max(peak for _, peak in samples),
                                            100 * elapsed / percent))
        shutil.rmtree(folder)
