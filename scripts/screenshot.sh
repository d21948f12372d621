#!/usr/bin/env bash
# Starts the Kavrin boot dialog under Xvfb against stbsim, downloads a small
# file into the simulated box, and saves a picture of the dialog.
#
#   scripts/screenshot.sh [OUTPUT.png] [BUILD_DIR]
#
# OUTPUT defaults to out/kavrin_boot.png, BUILD_DIR to build/ (built
# beforehand with the targets kavrin_boot and stbsim). The dialog runs in a
# temporary folder with its own settings, so the operator's are untouched.
# The picture is taken by the front end itself (--screenshot); a message box
# that is open at that moment is saved beside it as OUTPUT.modal.png.
# Set SCREENSHOT_COMMAND to run another command instead of the download, or
# to an empty text to show the idle dialog.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/out/kavrin_boot.png}")
build=$(realpath "${2:-$root/build}")
front="$build/frontend/kavrin_boot"
sim="$build/sim/stbsim"
for program in "$front" "$sim"; do
  [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
if command -v fc-list >/dev/null && [ -z "$(fc-list :lang=zh 2>/dev/null)" ]; then
  echo "note: no Chinese font installed (for example fonts-wqy-microhei); Chinese texts show as boxes" >&2
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --flash "$work/flash.bin" >"$work/stbsim.out" 2>"$work/stbsim.err" &
sim_pid=$!
# stbsim prints its pseudo-terminal's path as its first line.
for _ in $(seq 100); do
  [ -s "$work/stbsim.out" ] && break
  sleep 0.1
done
pty=$(head -n 1 "$work/stbsim.out")
[ -n "$pty" ] || { echo "stbsim did not start:" >&2; cat "$work/stbsim.err" >&2; exit 1; }

head -c "${SCREENSHOT_FILE_BYTES:-65536}" /dev/urandom >"$work/app.bin"
default_command="boot -m vk7301-8805-dvbs2 -d $pty -c \"serialdown 0x00010000 '$work/app.bin'\""
run=${SCREENSHOT_COMMAND-$default_command}

cd "$work"
XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x800x24" \
  "$front" --port "$pty" --screenshot "$out" --screenshot-delay "${SCREENSHOT_DELAY_MS:-5000}" \
  ${run:+--command "$run"}
echo "saved $out"
