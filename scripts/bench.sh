#!/usr/bin/env bash
# Builds the program and runs the benchmarks, each printing its own figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
python3 bench/demo_build.py "$@"
python3 bench/dmg_creation.py
build/bench/bench_signing_list
