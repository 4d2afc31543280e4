#!/usr/bin/env bash
# kelvonar-play within 512 MB of address space: --info on two million records and --gif on
# 400,000 (a screen kept per record would take over 3 GB and over 600 MB), and a canvas whose
# header claims 65535 x 65535 pixels (half a gigabyte) in a 16-byte file.
# Usage: bounded-memory.sh KELVONAR_PLAY
# Exit status: 0 all held, 1 a run failed, ran out of memory or printed something else.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 KELVONAR_PLAY" >&2
    exit 1
fi
play=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Four two-byte records a line: a blank key frame of code type 3, then a difference frame of
# type 3 that darkens the whole screen, twice.
line=' .db %00000011, %00000000, %10000011, %00000000, %00000011, %00000000, %10000011, %00000000'
yes "$line" | head -n 500000 >"$folder/many.z80" || true
yes "$line" | head -n 100000 >"$folder/gif.z80" || true
printf 'P4 65535 65535\n' >"$folder/canvases-00000000.pbm"
mkdir "$folder/canvases"
mv "$folder/canvases-00000000.pbm" "$folder/canvases/00000000.pbm"
printf ' .db %%00000011, %%00000000\n' >"$folder/one.z80"

ulimit -v $((512 * 1024))

"$play" --info "$folder/many.z80" >"$folder/info" 2>"$folder/err" ||
    fail "--info: $(cat "$folder/err")"
grep -qx '2000000 records, 4000000 bytes: 1000000 key, 1000000 difference' "$folder/info" ||
    fail "--info totals: $(tail -n 6 "$folder/info")"
grep -Eqx '1999999 +3999998 +difference +NZCP: +2' "$folder/info" ||
    fail "--info last record: $(grep -m1 '^1999999 ' "$folder/info")"

"$play" --gif "$folder/a.gif" --scale 1 "$folder/gif.z80" 2>"$folder/err" ||
    fail "--gif: $(cat "$folder/err")"
grep -qF "a.gif: 400000 GIF frames of 96 x 64 pixels" "$folder/err" ||
    fail "--gif note: $(cat "$folder/err")"
[[ -s "$folder/a.gif" ]] || fail "--gif wrote no file"

status=0
"$play" --check "$folder/canvases" "$folder/one.z80" >"$folder/out" 2>"$folder/err" || status=$?
[[ $status -eq 1 ]] || fail "--check on a short canvas: status $status"
grep -qF '00000000.pbm: the picture data ends early: 0 of 536862720 bytes' "$folder/err" ||
    fail "--check on a short canvas: $(cat "$folder/err")"
echo "bounded memory: all held"
