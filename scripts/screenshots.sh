#!/usr/bin/env bash
# Saves a picture of every page of the main dialog, as Wine draws it on a
# private X display, for a person to look at: each page as it starts, and
# the three list pages once more with some of Wine's own programs listed.
#   scripts/screenshots.sh [--dpi N]... [build-dir] [output-dir]
# Defaults: build/ and <build-dir>/screenshots. With --dpi (96 is 100 %,
# 144 is 150 %, 192 is 200 %) the pictures are taken at that display scale,
# into <output-dir>/dpi-N; the prefix's own scale is put back afterwards.
# Pictures are PNG when ImageMagick's convert is there, else BMP.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
dpis=()
while [ "${1:-}" = "--dpi" ]; do dpis+=("$2"); shift 2; done
build=${1:-$root/build}
out=${2:-$build/screenshots}
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

cmake --build "$build" --target test_ui -j2 >/dev/null
export COVELIN_WINEPREFIX=${COVELIN_WINEPREFIX:-$build/wineprefix}
filter='MainDialogTest.ScreenshotOfEachPage:ListPageScreenshot.PagesWithContent'
desktop='HKCU\Control Panel\Desktop'

# Runs inside the private display: the scale is read by each process as it
# starts, from the prefix's registry.
if [ -n "${SCREENSHOTS_AT_DPIS:-}" ]; then
  "$here/wine-prefix.sh"
  before=$(wine reg query "$desktop" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}')
  for dpi in $SCREENSHOTS_AT_DPIS; do
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

if [ ${#dpis[@]} -gt 0 ]; then
  SCREENSHOTS_AT_DPIS="${dpis[*]}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$here/with-display.sh" --private "$0" "$build" "$out"
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
