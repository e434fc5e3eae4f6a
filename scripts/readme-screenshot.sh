#!/usr/bin/env bash
# Takes the README's picture: the running Covelin.exe with its main dialog,
# on a private X display, beside a couple of ordinary windows so that the
# Windows page has something to list.
#   scripts/readme-screenshot.sh [build-dir] [output.png] [dpi]
# Defaults: build/, docs/main-dialog.png and 96 DPI (100 %); 144 DPI is the
# 150 % picture, docs/main-dialog-150.png.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" = "--inner" ]; then
  shift
  exe=$1 out=$2 dpi=$3
  caption="Covelin - Make your actions invisible"
  "$here/wine-prefix.sh"
  # Every program started below reads the display scale as it starts.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # Waits up to $2 seconds for a top-level X window named $1; prints its id.
  window_named() {
    local name=$1 tries=$(( $2 * 10 )) id
    while [ "$tries" -gt 0 ]; do
      id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$name\"" | awk '{print $1}' | head -n1)
      if [ -n "$id" ]; then echo "$id"; return 0; fi
      sleep 0.1; tries=$((tries - 1))
    done
    return 1
  }
  wine notepad >/dev/null 2>&1 &
  wine winemine >/dev/null 2>&1 &
  window_named "Untitled - Notepad" 60 >/dev/null || echo "readme-screenshot: notepad did not open" >&2
  window_named "Minesweeper" 30 >/dev/null || true
  wine "$exe" >/dev/null 2>&1 &
  id=$(window_named "$caption" 60) || { echo "readme-screenshot: no main dialog" >&2; exit 1; }
  # The Windows page fills its lists from the window catalogue, which is
  # rebuilt every half second: give it two rounds.
  sleep 1.5
  import -display "$DISPLAY" -window "$id" "$out"
  exit 0
fi

build=${1:-$root/build}
out=${2:-$root/docs/main-dialog.png}
dpi=${3:-96}
build=$(cd "$build" && pwd)
[ -f "$build/Covelin.exe" ] || { echo "readme-screenshot: build Covelin.exe first (make build)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# A copy of its own with default settings: no first-run message on the
# picture, and the build's own settings stay as they are.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/Covelin.exe" "$stage/Covelin.exe"
python3 - "$stage/setting.dat" <<'EOF'
import sys
record = bytearray(540)
record[8 + 0x11] = record[8 + 0x25] = 0x80      # show the dialog: Ctrl+Left
record[264 + 0x11] = record[264 + 0xC0] = 0x80  # hide/show: Ctrl+`
open(sys.argv[1], "wb").write(record)
EOF

# A prefix of its own: the private display's end also ends its wineserver,
# which must not be one that tests are using, and its display scale is the
# picture's.
export COVELIN_WINEPREFIX=$build/wineprefix-shot
export WINEPREFIX=$COVELIN_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/with-display.sh" --private "$0" --inner "$stage/Covelin.exe" "$out" "$dpi"
echo "readme-screenshot: $out"
