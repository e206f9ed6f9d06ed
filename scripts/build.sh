#!/usr/bin/env bash
# Configures build/ and builds the program with its window module and stand-in
# tools. With --tests, also installs what the tests need and builds the test
# programs and benchmarks. Further arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--tests" ]; then
  shift
  bash scripts/install-packages.sh --tests
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build build -j"$(nproc)"
else
  bash scripts/install-packages.sh
  # A build folder that the tests configured keeps its test programs; they are
  # just not built here.
  testing=OFF
  grep -qs '^BUILD_TESTING:BOOL=ON' build/CMakeCache.txt && testing=ON
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$testing "$@" >/dev/null
  cmake --build build -j"$(nproc)" --target bundlekiln
fi
