#!/usr/bin/env bash
# Pictures for a person to look at, as Wine draws them on a private X display.
#   scripts/screenshots.sh [--dpi N]... [build-dir] [output-dir]
#       every page of the main dialog, empty and filled with real content
#       (the screenshot tests of test_ui). Defaults: build/ and
#       <build-dir>/screenshots. With --dpi (96 is 100 %, 144 is 150 %, 192
#       is 200 %) the pictures are taken at that display scale, into
#       <output-dir>/dpi-N; the prefix's own scale is put back afterwards.
#       PNG when ImageMagick's convert is there, else BMP.
#   scripts/screenshots.sh --readme [build-dir] [output.png] [dpi]
#       the README's picture: the running Covelin.exe with its main dialog
#       beside a couple of ordinary windows, so that the Windows page has
#       something to list. Needs ImageMagick's import. Defaults: build/,
#       docs/main-dialog.png and 96 DPI; 144 gives docs/main-dialog-150.png.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
desktop='HKCU\Control Panel\Desktop'

if [ "${1:-}" = "--inner-readme" ]; then
  shift
  exe=$1 out=$2 dpi=$3
  caption="Covelin - Make your actions invisible"
  "$here/wine-prefix.sh"
  # Every program started below reads the display scale as it starts.
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
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
  window_named "Untitled - Notepad" 60 >/dev/null || echo "screenshots: notepad did not open" >&2
  window_named "Minesweeper" 30 >/dev/null || true
  wine "$exe" >/dev/null 2>&1 &
  id=$(window_named "$caption" 60) || { echo "screenshots: no main dialog" >&2; exit 1; }
  # The Windows page fills its lists from the window catalogue, which is
  # rebuilt every half second: give it two rounds.
  sleep 1.5
  import -display "$DISPLAY" -window "$id" "$out"
  exit 0
fi

filter='MainDialogTest.ScreenshotOfEachPage:ListPageScreenshot.*'
# Runs inside the private display: the scale is read by each process as it
# starts, from the prefix's registry.
if [ "${1:-}" = "--inner-dpis" ]; then
  build=$2 out=$3
  shift 3
  "$here/wine-prefix.sh"
  before=$(wine reg query "$desktop" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}')
  for dpi in "$@"; do
    mkdir -p "$out/dpi-$dpi"
    wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    COVELIN_SCREENSHOTS=$out/dpi-$dpi wine "$build/tests/test_ui.exe" --gtest_filter="$filter" >/dev/null
  done
  if [ -n "$before" ]; then
    wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null 2>&1
  else
    wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
  fi
  exit 0
fi

readme=
dpis=()
if [ "${1:-}" = "--readme" ]; then readme=1; shift; fi
while [ "${1:-}" = "--dpi" ]; do dpis+=("$2"); shift 2; done
build=${1:-$root/build}
build=$(cd "$build" && pwd)

if [ -z "$readme" ]; then
  out=${2:-$build/screenshots}
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  cmake --build "$build" --target test_ui -j2 >/dev/null
  export COVELIN_WINEPREFIX=${COVELIN_WINEPREFIX:-$build/wineprefix}
  if [ ${#dpis[@]} -gt 0 ]; then
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
      "$here/with-display.sh" --private "$0" --inner-dpis "$build" "$out" "${dpis[@]}"
  else
    COVELIN_SCREENSHOTS=$out "$here/with-display.sh" --private "$here/wine-run.sh" \
        "$build/tests/test_ui.exe" --gtest_filter="$filter"
  fi
  if command -v convert >/dev/null 2>&1; then
    for bmp in "$out"/*.bmp "$out"/*/*.bmp; do
      [ -e "$bmp" ] || continue
      convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
  fi
  ls -1R "$out"
  exit 0
fi

out=${2:-$root/docs/main-dialog.png}
dpi=${3:-96}
[ -f "$build/Covelin.exe" ] || { echo "screenshots: build Covelin.exe first (make build)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# A copy of its own with default settings: no first-run message on the
# picture, and the build's own settings stay as they are.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/Covelin.exe" "$stage/Covelin.exe"
python3 - "$stage/setting.dat" <<'PY'
import sys
record = bytearray(540)
record[8 + 0x11] = record[8 + 0x25] = 0x80      # show the dialog: Ctrl+Left
record[264 + 0x11] = record[264 + 0xC0] = 0x80  # hide/show: Ctrl+`
open(sys.argv[1], "wb").write(record)
PY

# A prefix of its own: the private display's end also ends its wineserver,
# which must not be one that tests are using, and its display scale is the
# picture's.
export COVELIN_WINEPREFIX=$build/wineprefix-shot
export WINEPREFIX=$COVELIN_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/with-display.sh" --private "$0" --inner-readme "$stage/Covelin.exe" "$out" "$dpi"
echo "screenshots: $out"
