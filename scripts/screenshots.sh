#!/usr/bin/env bash
# Saves a picture of every page of the main dialog, as Wine draws it on a
# private X display, for a person to look at.
#   scripts/screenshots.sh [build-dir] [output-dir]
# Defaults: build/ and <build-dir>/screenshots. Pictures are PNG when
# ImageMagick's convert is there, else BMP.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build}
out=${2:-$build/screenshots}
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

cmake --build "$build" --target test_ui -j2 >/dev/null
export COVELIN_WINEPREFIX=${COVELIN_WINEPREFIX:-$build/wineprefix}
COVELIN_SCREENSHOTS=$out "$here/with-display.sh" --private "$here/wine-run.sh" \
    "$build/tests/test_ui.exe" --gtest_filter='MainDialogTest.ScreenshotOfEachPage'

if command -v convert >/dev/null 2>&1; then
  for bmp in "$out"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
fi
ls -1 "$out"
