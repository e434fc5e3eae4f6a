#!/usr/bin/env bash
# Packs the release: dist/Covelin-<version>-win64.zip holding Covelin.exe,
# README.md and LICENSE at its top level, and beside it the per-user
# installer dist/Covelin-<version>-setup.exe that the build made.
#   dist.sh [build-dir]        (make dist builds first)
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

# The project's version, as the build knows it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
: "${version:?no project version in $build/CMakeCache.txt}"
exe=$build/Covelin.exe
setup=$build/Covelin-$version-setup.exe
for f in "$exe" "$setup" "$root/README.md" "$root/LICENSE"; do
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
cp "$setup" "$root/dist/"
echo "dist: $zip"
echo "dist: $root/dist/$(basename "$setup")"
