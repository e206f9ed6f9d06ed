#!/usr/bin/env bash
# Builds the program and runs the benchmark suite, which prints its tables.
# Not part of the tests. Options: --runs N (default 3), --only PART.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --tests >/dev/null
python3 bench/suite.py "$@"
