#!/usr/bin/env bash
# Builds the tools and the benchmarks (optimised, without sanitizers) and runs
# every benchmark; each prints its own figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAVRIN_SANITIZE=OFF >/dev/null
benches=(serial_bench)
cmake --build build-bench -j "$(nproc)" --target "${benches[@]}"

status=0
for bench in "${benches[@]}"; do
  echo "== $bench"
  build-bench/bench/"$bench" || status=1
done
exit $status
