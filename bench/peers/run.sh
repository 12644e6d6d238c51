#!/usr/bin/env bash
# Velmora against scipy.signal and ngspice, side by side on this machine.
#   bench/peers/run.sh [RUNS]     (default 11 runs; every figure printed is a median)
# Installs Debian's python3-scipy and ngspice when missing, builds the release
# benchmarks and the command-line program in build/bench, then runs compare.py.
# Set VELMORA_PEERS_JSON=file.json to keep the figures as JSON as well.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$ROOT/build/bench"
RUNS="${1:-11}"
PYTHON=/usr/bin/python3 # Debian's interpreter, the one python3-scipy installs into

missing=()
"$PYTHON" -c 'import scipy.signal' 2>/dev/null || missing+=(python3-scipy)
command -v ngspice >/dev/null 2>&1 || missing+=(ngspice)
if ((${#missing[@]})); then
    echo "Installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target approximation_bench final_response_bench velmora >/dev/null

echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
"$PYTHON" "$ROOT/bench/peers/compare.py" "$BUILD" "$RUNS"
