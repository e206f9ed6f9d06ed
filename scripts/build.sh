#!/usr/bin/env bash
# Configures and builds the program, its stand-in tools and its tests in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"
