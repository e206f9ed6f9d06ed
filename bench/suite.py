#!/usr/bin/env python3
"""The benchmark suite: whole builds against their floors, a per-step breakdown, peak memory, the
tool runner, signing-list collection, scaling, and the peer. Prints one table per part."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import breakdown
import builds
import peer
import scaling
from measure import BUILD, EXAMPLE

PARTS = ("builds", "breakdown", "runner", "signing", "scaling", "peer")


def project_copy(scratch):
    """The example project with the manifest the peer needs; both builders get this same folder."""
    project = os.path.join(scratch, "project")
    shutil.copytree(EXAMPLE, project)
    with open(os.path.join(project, "package.json"), "w") as manifest:
        json.dump({"name": "demo", "version": "1.0.0", "main": "index.html"}, manifest)
    return project


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3, help="runs per figure; medians are printed")
    parser.add_argument("--only", choices=PARTS, action="append", help="run only these parts")
    options = parser.parse_args()
    parts = options.only or PARTS
    print("%s, load average %s" % (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
                                   " ".join(open("/proc/loadavg").read().split()[:3])))
    scratch = tempfile.mkdtemp(prefix="bundlekiln-bench-", dir=os.environ.get("BENCH_DIR"))
    try:
        project = project_copy(scratch)
        for part in parts:
            print()
            sys.stdout.flush()
            if part == "builds":
                builds.run(scratch, project, options.runs)
            elif part == "breakdown":
                breakdown.run(scratch, project)
            elif part == "runner":
                print("Tool runner (medians of 5)")
                sys.stdout.flush()
                subprocess.run([os.path.join(BUILD, "bench/bench_tool_runner")], check=True)
            elif part == "signing":
                print("Developer ID signing list (target < 100 ms)")
                sys.stdout.flush()
                subprocess.run([os.path.join(BUILD, "bench/bench_signing_list")], check=True)
            elif part == "scaling":
                scaling.run(scratch, project, options.runs)
            elif part == "peer":
                peer.run(scratch, project, options.runs)
            sys.stdout.flush()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
