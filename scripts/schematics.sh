#!/usr/bin/env bash
# Writes the schematic of every circuit of the catalogue, plain and compensated, as a PNG
# into docs/images/schematics/ (or the folder given): tools/draw_schematics draws them as
# SVG with the component names and the circuit's name, rsvg-convert (or ImageMagick)
# turns them into pictures. docs/circuits.md shows them beside each circuit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/images/schematics}")
build=${BUILD_DIR:-$root/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target draw_schematics -j "${JOBS:-2}" >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/tools/draw_schematics" "$tmp"
mkdir -p "$out"
for svg in "$tmp"/*.svg; do
    png="$out/$(basename "${svg%.svg}").png"
    if command -v rsvg-convert >/dev/null; then
        rsvg-convert --background-color=white "$svg" -o "$png"
    else
        convert -background white -flatten "$svg" "$png"
    fi
done
echo "$(ls "$tmp"/*.svg | wc -l) schematics in $out"
