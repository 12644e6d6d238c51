#!/usr/bin/env bash
# Checks an installed Velmora under PREFIX (a `cmake --install` prefix, or the /usr of an
# unpacked Debian package): both programs start with VELMORA_DATA_DIR unset, a design runs
# from the installed data, and the documents, the menu entry, the icon and the .fl3 file
# type are where the desktop looks for them. Prints one line per check; exits 1 when any
# fails.
#
#   scripts/check-install.sh PREFIX [--gui | --no-gui]      (--gui is the default)
set -uo pipefail
prefix=${1:?usage: check-install.sh PREFIX [--gui | --no-gui]}
gui=1
[ "${2:-}" = "--no-gui" ] && gui=0
fail=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then echo "ok    $what"; else echo "FAIL  $what"; fail=1; fi
}

unset VELMORA_DATA_DIR VELMORA_DOC_DIR
bin="$prefix/bin"
share="$prefix/share"
echo "velmora --version: $("$bin/velmora" --version 2>&1)"
check "velmora --version exits 0" "$bin/velmora" --version
check "the data files under share/velmora" test -f "$share/velmora/BessRoot.dat"
# A design computes every approximation, the Bessel one from BessRoot.dat.
check "velmora design from the installed data" "$bin/velmora" design --json
if [ "$gui" -eq 1 ]; then
    check "velmora-gui installed" test -x "$bin/velmora-gui"
    check "velmora-gui starts (--help)" env QT_QPA_PLATFORM=offscreen "$bin/velmora-gui" --help
fi
check "the manual under share/doc/velmora" test -f "$share/doc/velmora/manual.md"
check "the manual's pictures" test -f "$share/doc/velmora/images/main_window.png"
check "the copyright file with the compiled-in libraries' notices" grep -q '^Files: nlohmann/\*' "$share/doc/velmora/copyright"
check "the manual for the Help menu" test -f "$share/velmora/manual.md"
desktop="$share/applications/velmora.desktop"
check "the desktop file" test -f "$desktop"
check "the desktop file opens .fl3 designs" grep -qx 'MimeType=application/x-velmora-design;' "$desktop"
check "the desktop file starts velmora-gui" grep -q '^Exec=velmora-gui ' "$desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
else
    echo "skip  desktop-file-validate (not installed: desktop-file-utils)"
fi
check "the icon" test -f "$share/icons/hicolor/scalable/apps/velmora.svg"
mime="$share/mime/packages/velmora.xml"
check "the .fl3 file type" grep -q '<glob pattern="\*.fl3"/>' "$mime"
if command -v update-mime-database >/dev/null 2>&1; then
    # Compiled into a database of its own in a scratch folder: a malformed file fails.
    mimedb=$(mktemp -d)
    mkdir -p "$mimedb/packages" && cp "$mime" "$mimedb/packages/"
    check "update-mime-database reads the file type" update-mime-database "$mimedb"
    check "a .fl3 file is a Velmora design" \
        grep -q 'application/x-velmora-design:\*\.fl3' "$mimedb/globs"
    rm -rf "$mimedb"
fi
if [ "$fail" -ne 0 ]; then
    echo "check-install: FAILED"
    exit 1
fi
echo "check-install: all checks passed"
