#!/usr/bin/env bash
# The main job, against the simulated box: builds everything, starts stbsim at
# the real line speed (115200 baud), flashes a sample image into it with boot,
# dumps it back and says whether the bytes match.
# With a real box attached, run boot yourself (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

size=$((64 * 1024))
head -c "$size" /dev/urandom >"$work/sample.bin"

build/sim/stbsim --baud 115200 --flash "$work/flash.bin" --link "$work/ttyBOX" \
  >"$work/stbsim.out" 2>"$work/stbsim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/ttyBOX" ] && break; sleep 0.1; done
if [ ! -e "$work/ttyBOX" ]; then
  echo "stbsim did not start:" >&2
  cat "$work/stbsim.err" >&2
  exit 1
fi

echo
echo "simulated box on $(head -n 1 "$work/stbsim.out") (link $work/ttyBOX), paced at 115200 baud"
echo "about 20 s: the loader upload, then $size bytes each way"
echo "\$ boot -m vk7301 -d $work/ttyBOX -c \"serialdown 0x10000 sample.bin; serialdump 0x10000 $size dump.bin\""
status=0
(cd "$work" && "$root/build/boot/boot" -m vk7301 -d "$work/ttyBOX" \
  -c "serialdown 0x10000 sample.bin; serialdump 0x10000 $size dump.bin") || status=$?
echo
if [ "$status" -ne 0 ]; then
  echo "FAILED: boot ended with exit code $status." >&2
  exit 1
fi
if cmp -s "$work/sample.bin" "$work/dump.bin" &&
   cmp -s "$work/sample.bin" <(tail -c +$((0x10000 + 1)) "$work/flash.bin" | head -c "$size"); then
  echo "OK: the $size bytes read back from the box match the image that was written."
else
  echo "MISMATCH: the bytes read back differ from the image." >&2
  exit 1
fi
