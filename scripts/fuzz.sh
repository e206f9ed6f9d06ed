#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each for SECONDS
# (default 60), one after the other: scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets are the names in fuzz/corpus/; without any, all run. Each starts from
# its seeds and from what earlier runs found (build-fuzz/corpus/); crashes land
# in build-fuzz/findings/<target>/. Exits with 1 when any target found one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=($(ls fuzz/corpus))

bash scripts/install-packages.sh --tests
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DBUNDLEKILN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}" -j"$(nproc)" >/dev/null

found=0
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target findings=build-fuzz/findings/$target log=build-fuzz/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  status=0
  build-fuzz/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find "$findings" -type f | wc -l)
  echo "$target: ${executions:-?} executions in ${seconds} s, $crashes findings (status $status, log $log)"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    found=1
    grep -m1 -A12 -E '^==[0-9]+==ERROR|^SUMMARY|deadly signal' "$log" || tail -20 "$log"
  fi
done
exit $found
