#!/usr/bin/env bash
# Packs the release: dist/Covelin-<version>-win64.zip holding Covelin.exe,
# README.md and LICENSE at its top level.
#   dist.sh [build-dir]        (make dist builds first)
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

version=$(sed -n 's/^project(Covelin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
: "${version:?no version in CMakeLists.txt}"
exe=$build/Covelin.exe
for f in "$exe" "$root/README.md" "$root/LICENSE"; do
  [ -f "$f" ] || { echo "dist: missing $f" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Covelin.exe"
# The release carries no symbols; the build tree keeps them.
strip=x86_64-w64-mingw32-strip
if command -v "$strip" >/dev/null 2>&1; then "$strip" "$stage/Covelin.exe"; fi
cp "$root/README.md" "$root/LICENSE" "$stage/"

mkdir -p "$root/dist"
zip=$root/dist/Covelin-$version-win64.zip
rm -f "$zip"
(cd "$stage" && zip -q -X "$zip" Covelin.exe README.md LICENSE)
echo "dist: $zip"
