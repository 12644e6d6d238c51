#!/usr/bin/env bash
# Saves a PNG of each window of velmora-gui into docs/images/ (or the folder given):
# the program runs under Xvfb on the built-in worked example (a lowpass, a user-defined
# filter and the tools) and on a bandpass design made with the command line, shows each
# window, grabs it and exits; then the schematic of every circuit into schematics/
# (scripts/schematics.sh). The user's settings are not touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/images}")
build=${BUILD_DIR:-$root/build/release}
bash "$root/scripts/install-deps.sh" --screenshots
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" --target velmora velmora-gui -j "${JOBS:-2}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data VELMORA_DATA_DIR=$root/data
mkdir -p "$out"
"$build/apps/cli/velmora" design --type bandpass --f0 10k --bpb 1k --bsb 3k --save "$tmp/bandpass.fl3" >/dev/null
run() { xvfb-run -a -s "-screen 0 1600x1000x24" "$build/apps/gui/velmora-gui" "$@"; }
run --screenshot "$out"
run --screenshot "$out" "$tmp/bandpass.fl3"
# The schematic of every circuit, for docs/circuits.md.
BUILD_DIR=$build bash "$root/scripts/schematics.sh" "$out/schematics"
