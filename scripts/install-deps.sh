#!/usr/bin/env bash
# Installs the Debian packages Velmora needs to build and test, non-interactively.
# Returns at once when everything is already present.
#   scripts/install-deps.sh                 build, test and desktop packages
#   scripts/install-deps.sh --screenshots   also what scripts/screenshots.sh needs
#   scripts/install-deps.sh --package       also what scripts/check-package.sh needs
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config make
          libcli11-dev nlohmann-json3-dev libfmt-dev
          libgtest-dev libexpat1-dev ngspice libbenchmark-dev clang python3
          qt6-base-dev qt6-svg-dev libqt6svg6)
# The screenshot script (scripts/screenshots.sh) runs the desktop program under Xvfb.
if [ "${1:-}" = "--screenshots" ]; then
  packages+=(xvfb xauth imagemagick)
fi
# The Debian package: dpkg-shlibdeps names its dependencies, the desktop file and the file
# type are checked with their own tools.
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev desktop-file-utils shared-mime-info)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
