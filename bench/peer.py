"""The peer, nw-builder 4.18.0, on the same project and runtime zip, with no network, beside our builds.

It is installed with npm into the scratch folder, never into the project. Its version manifest and
runtime are offered by file:// addresses; when it cannot work from those, further attempts serve the
runtime from a loopback-only server inside the same network-less namespace, with and without its
checksum check. Every failure is printed with the peer's own error line.
"""

import json
import hashlib
import os
import shutil
import subprocess

from measure import ROOT, make_runtime, median, timed, timed_build

PEER = "nw-builder@4.18.0"
DRIVER = os.path.join(ROOT, "bench/nw_builder_drive.mjs")
PORT = 8765


def install(folder):
    os.makedirs(folder)
    result = subprocess.run(["npm", "install", "--no-audit", "--no-fund", "--prefix", folder, PEER],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return "npm could not install %s: %s" % (PEER, last_error(result.stdout + result.stderr))
    shutil.copy(DRIVER, folder)
    return None


def serve_folder(folder, runtime):
    """The download layout: versions.json, and v0.115.0/ with the zip and its checksum list."""
    release = os.path.join(folder, "v0.115.0")
    os.makedirs(release)
    zip_path = shutil.copy(runtime, release)
    with open(zip_path, "rb") as stream:
        digest = hashlib.sha256(stream.read()).hexdigest()
    with open(os.path.join(release, "SHASUMS256.txt"), "w") as sums:
        sums.write("%s  %s\n" % (digest, os.path.basename(zip_path)))
    with open(os.path.join(folder, "versions.json"), "w") as manifest:
        json.dump({"latest": "v0.115.0", "stable": "v0.115.0", "lts": "v0.115.0",
                   "versions": [{"version": "v0.115.0", "date": "2026/01/01", "files": ["osx-arm64"],
                                 "flavors": ["normal"], "components": {"node": "24.0.0", "chromium": "140.0.0.0"}}]},
                  manifest)
    return folder


def last_error(text):
    lines = [line.strip() for line in text.splitlines() if "Error" in line]
    return lines[-1] if lines else (text.strip().splitlines() or ["(no output)"])[-1]


def peer_command(peer, project, scratch, served, packaging, loopback, checksum):
    out, cache = os.path.join(scratch, "peer-out"), os.path.join(scratch, "peer-cache")
    icon = os.path.join(project, "app.icns")
    manifest = "file://" + os.path.join(served, "versions.json")
    if not loopback:
        return ["unshare", "-n", "node", os.path.join(peer, "nw_builder_drive.mjs"), project, out, cache,
                "file://" + served, manifest, icon, packaging, checksum]
    script = ("ip link set lo up && (python3 -m http.server %d --bind 127.0.0.1 --directory \"$1\" >/dev/null 2>&1 &) "
              "&& sleep 0.5 && node \"$2\" \"$3\" \"$4\" \"$5\" http://127.0.0.1:%d \"$6\" \"$7\" \"$8\" \"$9\""
              % (PORT, PORT))
    return ["unshare", "-n", "sh", "-c", script, "sh", served, os.path.join(peer, "nw_builder_drive.mjs"), project,
            out, cache, manifest, icon, packaging, checksum]


# How the peer is offered its runtime: (description, from a loopback server, checksum check).
WAYS = [("file:// addresses", False, "sum"), ("runtime from a loopback server", True, "sum"),
        ("loopback server, checksum check off", True, "nosum")]


def attempt(peer, project, scratch, served, packaging, way):
    """Seconds and peak MiB of one peer build, or the reason it failed."""
    for folder in ("peer-out", "peer-cache"):
        shutil.rmtree(os.path.join(scratch, folder), ignore_errors=True)
    _, loopback, checksum = way
    command = peer_command(peer, project, scratch, served, packaging, loopback, checksum)
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        cache = os.path.join(scratch, "peer-cache")
        arrived = any(name.endswith(".zip") for name in (os.listdir(cache) if os.path.isdir(cache) else []))
        return None, "%s (the runtime zip %s its cache)" % (last_error(result.stdout + result.stderr),
                                                           "had reached" if arrived else "never reached")
    for folder in ("peer-out", "peer-cache"):
        shutil.rmtree(os.path.join(scratch, folder), ignore_errors=True)
    return timed(command), None


def run(scratch, project, runs):
    print("Peer: %s, the same project and realistic runtime zip, no network (unshare -n)" % PEER)
    peer = os.path.join(scratch, "peer")
    failure = install(peer)
    if failure:
        print("  " + failure)
        return
    runtime = make_runtime(os.path.join(scratch, "runtime-peer"), 100)
    served = serve_folder(os.path.join(scratch, "served"), runtime)
    shutil.copy(icon_from(runtime, scratch), os.path.join(project, "app.icns"))
    print("%-22s %10s %9s %10s %9s %7s" % ("", "peer s", "peer MiB", "ours s", "ours MiB", "ratio"))
    for label, packaging, options in (("plain", "plain", ()), ("with zip", "zip", ("--zip",))):
        ours = [timed_build(project, runtime, scratch, *options) for _ in range(runs)]
        ours_time, ours_peak = median([s for s, _ in ours]), max(p for _, p in ours)
        reasons = []
        for way in WAYS:
            samples = []
            for _ in range(runs):
                measured, reason = attempt(peer, project, scratch, served, packaging, way)
                if reason:
                    reasons.append(way[0] + ": " + reason)
                    break
                samples.append(measured)
            if samples:
                peer_time, peer_peak = median([s for s, _ in samples]), max(p for _, p in samples)
                print("%-22s %10.2f %9.1f %10.2f %9.1f %7.2f" % (label + ("" if way is WAYS[0] else " (loopback)"),
                                                                 peer_time, peer_peak, ours_time, ours_peak,
                                                                 peer_time / ours_time))
                break
        else:
            print("%-22s %10s %9s %10.2f %9.1f %7s" % (label, "failed", "-", ours_time, ours_peak, "-"))
        for reason in reasons:
            print("  peer could not build (%s)" % reason)


def icon_from(runtime, scratch):
    target = os.path.join(scratch, "peer-icon.icns")
    with open(target, "wb") as icon:
        subprocess.run(["unzip", "-p", runtime, "*/nwjs.app/Contents/Resources/app.icns"], stdout=icon, check=True)
    return target
