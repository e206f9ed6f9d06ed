#!/usr/bin/env bash
# Builds the program and times a realistic-size headless build against the floor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
python3 bench/demo_build.py "$@"
