#!/usr/bin/env bash
# Converts the sample, assembles its data lines with the GNU assembler for the Z80 and checks that
# the assembled bytes are exactly the bytes kelvonar-play reads from the text.
# Usage: assemble-check.sh KELVONAR KELVONAR_PLAY VIDEO JOB
# Exit status: 0 equal, 1 different or a step failed, 77 no Z80 assembler here (a skip, never a
# pass). Z80_AS and Z80_OBJCOPY name other tools than z80-unknown-coff-as and -objcopy.
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 KELVONAR KELVONAR_PLAY VIDEO JOB" >&2
    exit 1
fi
kelvonar=$1 play=$2 video=$3 job=$4
as=${Z80_AS:-z80-unknown-coff-as}
objcopy=${Z80_OBJCOPY:-z80-unknown-coff-objcopy}
for tool in "$as" "$objcopy"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool not found (Debian package binutils-z80)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$kelvonar" --headless --job "$job" --output "$work/my.z80" --seed 1 "$video" \
    2>"$work/convert.log"; then
    cat "$work/convert.log" >&2
    echo "FAIL: the conversion failed" >&2
    exit 1
fi
"$as" --fatal-warnings -o "$work/my.o" "$work/my.z80"
"$objcopy" -O binary "$work/my.o" "$work/assembled.bin"
"$play" "$work/my.z80" --dump-bytes "$work/read.bin"

assembled=$(stat -c %s "$work/assembled.bin")
read=$(stat -c %s "$work/read.bin")
if [[ $read -eq 0 ]]; then
    echo "FAIL: kelvonar-play read no bytes" >&2
    exit 1
fi
if ! cmp "$work/assembled.bin" "$work/read.bin"; then
    echo "FAIL: the assembler made $assembled bytes, kelvonar-play read $read, and they differ" >&2
    exit 1
fi
echo "equal: the assembler and kelvonar-play both give the same $read bytes"
