"""The peer, nw-builder 4.18.0, on the same project and runtime zip, with no network, beside our builds.

It is installed with npm into the scratch folder, never into the project, and run in a network
namespace of its own (unshare -n). What it takes to run it offline:
- Its getter is held at 0.2.5, the release it was made with: 0.2.8, which npm picks otherwise, fails
  to find the checksum list it fetched (a TypeError in its verify step).
- Its version manifest is a file:// address, and its download address is a file:// address of its
  own cache folder holding the runtime zip: it unpacks a file:// download beside the zip but looks
  for the unpacked runtime in its cache.
- It fetches the release's checksum list over http from the empty host of the file:// address, that
  is from 127.0.0.1:80 with the folder's path; a loopback-only server inside the namespace answers
  that one path.
"""

import hashlib
import json
import os
import shutil
import signal
import subprocess

from measure import ROOT, make_runtime, median, timed_build

PEER = "nw-builder@4.18.0"
PEER_GETTER = "0.2.5"
VERSION = "0.115.0"
DRIVER = os.path.join(ROOT, "bench/nw_builder_drive.mjs")


def install(folder):
    os.makedirs(folder)
    with open(os.path.join(folder, "package.json"), "w") as manifest:
        json.dump({"name": "bench-peer", "private": True, "overrides": {"@nwutils/getter": PEER_GETTER}}, manifest)
    result = subprocess.run(["npm", "install", "--no-audit", "--no-fund", "--prefix", folder, PEER],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return "npm could not install %s: %s" % (PEER, last_error(result.stdout + result.stderr))
    shutil.copy(DRIVER, folder)
    return None


def write_manifest(path):
    with open(path, "w") as manifest:
        json.dump({"latest": "v" + VERSION, "stable": "v" + VERSION, "lts": "v" + VERSION,
                   "versions": [{"version": "v" + VERSION, "date": "2026/01/01", "files": ["osx-arm64"],
                                 "flavors": ["normal"], "components": {"node": "24.0.0", "chromium": "140.0.0.0"}}]},
                  manifest)
    return path


def checksum_root(scratch, cache, runtime):
    """A folder served at 127.0.0.1:80 holding only the checksum list, under the cache's own path."""
    root = os.path.join(scratch, "peer-checksums")
    release = os.path.join(root, cache.lstrip("/"), "v" + VERSION)
    os.makedirs(release)
    with open(runtime, "rb") as stream:
        digest = hashlib.file_digest(stream, "sha256").hexdigest()
    with open(os.path.join(release, "SHASUMS256.txt"), "w") as sums:
        sums.write("%s  %s\n" % (digest, os.path.basename(runtime)))
    return root


def last_error(text):
    lines = [line.strip() for line in text.splitlines() if "Error" in line]
    return lines[-1] if lines else (text.strip().splitlines() or ["(no output)"])[-1]


def run_as_group(command):
    """Runs `command` in a process group of its own and ends the whole group on every way out, so the
    checksum server that the build's shell starts in the background never outlives it."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               start_new_session=True)
    try:
        output, errors = process.communicate()
        return process.returncode, output, errors
    finally:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()


class Peer:
    def __init__(self, folder, scratch, project, runtime):
        self.driver = os.path.join(folder, os.path.basename(DRIVER))
        self.scratch, self.project, self.runtime = scratch, project, runtime
        self.out, self.cache = os.path.join(scratch, "peer-out"), os.path.join(scratch, "peer-cache")
        self.manifest = write_manifest(os.path.join(scratch, "peer-versions.json"))
        self.served = checksum_root(scratch, self.cache, runtime)

    def command(self, packaging):
        script = ('ip link set lo up && { python3 -m http.server 80 --bind 127.0.0.1 --directory "$1" '
                  '>/dev/null 2>&1 & } && sleep 0.5 && shift && node "$@"')
        return ["unshare", "-n", "sh", "-c", script, "sh", self.served, self.driver, self.project, self.out,
                self.cache, "file://" + self.cache, "file://" + self.manifest,
                os.path.join(self.project, "app.icns"), packaging]

    def build(self, packaging):
        """Seconds and peak MiB of one build from a cache holding only the runtime zip, or the reason
        it failed."""
        self.clear()
        os.makedirs(self.cache)
        shutil.copy(self.runtime, self.cache)
        returncode, output, errors = run_as_group(self.command(packaging))
        self.clear()
        if returncode != 0:
            return None, last_error(output + errors)
        seconds, peak = output.split()[-2:]
        return (float(seconds), int(peak) / 1024), None

    def clear(self):
        for path in (self.out, self.out + ".zip", self.cache):
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)


def run(scratch, project, runs):
    print("Peer: %s, the same project and realistic runtime zip, no network (unshare -n)" % PEER)
    folder = os.path.join(scratch, "peer")
    failure = install(folder)
    if failure:
        print("  " + failure)
        return
    runtime = make_runtime(os.path.join(scratch, "runtime-peer"), 100)
    shutil.copy(icon_from(runtime, scratch), os.path.join(project, "app.icns"))
    peer = Peer(folder, scratch, project, runtime)
    print("%-10s %10s %9s %10s %9s %7s" % ("", "peer s", "peer MiB", "ours s", "ours MiB", "ratio"))
    for label, packaging, options in (("plain", "plain", ()), ("with zip", "zip", ("--zip",))):
        ours = [timed_build(project, runtime, scratch, *options) for _ in range(runs)]
        ours_time, ours_peak = median([s for s, _ in ours]), max(p for _, p in ours)
        samples, reason = [], None
        while len(samples) < runs and not reason:
            measured, reason = peer.build(packaging)
            if measured:
                samples.append(measured)
        if reason:
            print("%-10s %10s %9s %10.2f %9.1f %7s" % (label, "failed", "-", ours_time, ours_peak, "-"))
            print("  peer could not build: %s" % reason)
            continue
        peer_time, peer_peak = median([s for s, _ in samples]), max(p for _, p in samples)
        print("%-10s %10.2f %9.1f %10.2f %9.1f %7.2f" % (label, peer_time, peer_peak, ours_time, ours_peak,
                                                       peer_time / ours_time))
    print("ratio: the peer's time over ours (target >= 2)")


def icon_from(runtime, scratch):
    target = os.path.join(scratch, "peer-icon.icns")
    with open(target, "wb") as icon:
        subprocess.run(["unzip", "-p", runtime, "*/nwjs.app/Contents/Resources/app.icns"], stdout=icon, check=True)
    return target
