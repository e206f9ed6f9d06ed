#!/usr/bin/env bash
# Builds everything and runs the whole test suite. With --thorough (as CI
# runs it), the suite runs a second time built with the sanitizers, and each
# fuzz target runs for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --tests
ctest --test-dir build --output-on-failure -j"$(nproc)"
if [ "${1:-}" = "--thorough" ]; then
  bash scripts/test-sanitized.sh
  bash scripts/fuzz.sh 30
fi
