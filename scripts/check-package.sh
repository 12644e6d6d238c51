#!/usr/bin/env bash
# Builds the Debian package from a Release build and checks that it works once installed:
# the package is unpacked into a scratch root (dpkg -x, no change to this system), and
# from there `velmora --version` and a full default design must run with VELMORA_DATA_DIR
# unset, velmora-gui must be present and start, and the menu entry and the .fl3 file type
# must be in place.
#
#   scripts/check-package.sh [BUILD_DIR]      (default build/package)
#
# The build compiles in a data folder that does not exist as the program's last resort,
# so that the design can only succeed with the data the package installed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}
jobs=${JOBS:-2}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF \
    -DVELMORA_FALLBACK_DATA_DIR=/nonexistent/velmora-data >/dev/null
cmake --build "$build" -j "$jobs"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/velmora_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\|Section\|Maintainer\):/  \1:/p'

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
bash scripts/check-install.sh "$root/usr"
