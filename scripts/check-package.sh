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
fail=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then echo "ok    $what"; else echo "FAIL  $what"; fail=1; fi
}

unset VELMORA_DATA_DIR VELMORA_DOC_DIR
bin="$root/usr/bin"
echo "velmora --version: $("$bin/velmora" --version)"
check "velmora --version exits 0" "$bin/velmora" --version
check "the data files under share/velmora" test -f "$root/usr/share/velmora/BessRoot.dat"
# A design computes every approximation, the Bessel one from BessRoot.dat.
check "velmora design from the installed data" "$bin/velmora" design --json
check "velmora-gui installed" test -x "$bin/velmora-gui"
if [ -x "$bin/velmora-gui" ]; then
    check "velmora-gui --help starts" env QT_QPA_PLATFORM=offscreen "$bin/velmora-gui" --help
fi
check "the manual under share/doc/velmora" test -f "$root/usr/share/doc/velmora/manual.md"
check "the manual's pictures" test -d "$root/usr/share/doc/velmora/images"
desktop="$root/usr/share/applications/velmora.desktop"
check "the desktop file" test -f "$desktop"
check "the desktop file opens .fl3 designs" grep -qx 'MimeType=application/x-velmora-design;' "$desktop"
check "the desktop file starts velmora-gui" grep -q '^Exec=velmora-gui ' "$desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
else
    echo "skip  desktop-file-validate (not installed: desktop-file-utils)"
fi
check "the icon" test -f "$root/usr/share/icons/hicolor/scalable/apps/velmora.svg"
mime="$root/usr/share/mime/packages/velmora.xml"
check "the .fl3 file type" grep -q '<glob pattern="\*.fl3"/>' "$mime"
if command -v update-mime-database >/dev/null 2>&1; then
    # Compile the file type into the scratch root's own database: a malformed file fails.
    check "update-mime-database reads the file type" update-mime-database "$root/usr/share/mime"
    check "a .fl3 file is a Velmora design" \
        grep -q 'application/x-velmora-design:\*\.fl3' "$root/usr/share/mime/globs"
fi
if [ "$fail" -ne 0 ]; then
    echo "check-package: FAILED"
    exit 1
fi
echo "check-package: all checks passed"
