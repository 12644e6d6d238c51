#!/bin/sh
# Writes the design reports shown in docs/manual.md and turns their pages into pictures:
# the default lowpass and a 20th-order bandpass, as docs/images/report/<name>-<page>.png.
#
#   scripts/report-pages.sh [VELMORA]       (default: build/test/apps/cli/velmora)
#
# Needs pdftoppm (poppler-utils).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
velmora=${1:-$root/build/test/apps/cli/velmora}
out=$root/docs/images/report
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELMORA_DATA_DIR="${VELMORA_DATA_DIR:-$root/data}"
mkdir -p "$out"
rm -f "$out"/*.png
"$velmora" design --save "$work/lowpass.fl3" --report "$work/lowpass.pdf" >/dev/null
"$velmora" design --type bandpass --f0 10k --bpb 1k --bsb 3k --order 20 --tempco 50,-100 --temp-rise 40 \
    --save "$work/bandpass20.fl3" --report "$work/bandpass20.pdf" >/dev/null
for name in lowpass bandpass20; do
    pdftoppm -r 50 -png "$work/$name.pdf" "$out/$name"
done
ls "$out"
