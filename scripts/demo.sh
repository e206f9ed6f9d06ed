#!/usr/bin/env bash
# Builds the program, generates an arm64 NW.js runtime zip, and packages the
# sample project in examples/hello into out/demo/Hello.app.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p out
runtime=out/nwjs-v0.115.0-osx-arm64.zip
[ -f "$runtime" ] || python3 tests/runtime_generator/make_runtime.py --into out --framework-mb 8 >/dev/null
# The demo owns out/demo: clear its last result, since builds never overwrite.
rm -rf out/demo
build/bin/bundlekiln --build --project examples/hello --runtime "$runtime" \
  --output out/demo --name Hello --version 1.0.0 --bundle-id com.example.hello
