#!/usr/bin/env bash
# Saves a picture of the job maker's dialog as a real X server shows it, at 96 dpi, for
# comparing with the layout by eye. Usage: screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${1:-build}"
output="${2:-$build/prelmat-dialog.png}"
job="$(mktemp -d)"
trap 'rm -rf "$job"' EXIT

QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 640x480x24 -dpi 96" \
    "$build/prelmat" --job "$job/thisjob.ini" --screenshot "$output"
echo "saved $output"
