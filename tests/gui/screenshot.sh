#!/usr/bin/env bash
# Shows the converter's window under a virtual X server (Xvfb) converting the sample, and saves
# a picture of the window when the conversion ends, for a person to look at.
#   tests/gui/screenshot.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
out="${2:-$PWD/kelvonar-window.png}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
    "$build/kelvonar" --job "$root/samples/thisjob.ini" --output "$work/my.z80" --seed 1 \
    --screenshot "$out" "$root/samples/bounce.mp4"
echo "screenshot.sh: wrote $out"
