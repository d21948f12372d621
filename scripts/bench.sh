#!/usr/bin/env bash
# Builds the tools and the benchmarks (optimised, without sanitizers) and runs
# every benchmark; each prints its own figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAVRIN_SANITIZE=OFF >/dev/null
benches=(serial_bench render_bench)
# tftp_bench measures against Debian's tftpd-hpa, installed for the benchmark
# only (the tests and CI do not need it).
if ! dpkg-query -W -f='${Status}' tftpd-hpa 2>/dev/null | grep -q "install ok installed"; then
  sudo=$([ "$(id -u)" -ne 0 ] && echo sudo || true)
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq tftpd-hpa >/dev/null
fi
benches+=(tftp_bench)
cmake --build build-bench -j "$(nproc)" --target "${benches[@]}"

status=0
for bench in "${benches[@]}"; do
  echo "== $bench"
  build-bench/bench/"$bench" || status=1
done
exit $status
