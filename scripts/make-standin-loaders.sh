#!/bin/sh
# Regenerates the stand-in loader images in boot/images/ (see the README
# there). The generator is a small C++ program; its output is fixed, so the
# committed files come out byte for byte the same.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CXX:-c++}" -std=c++17 -O2 -o "$work/make-standin-loaders" "$root/scripts/make-standin-loaders.cpp"
"$work/make-standin-loaders" "$root/boot/images"
