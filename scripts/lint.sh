#!/usr/bin/env bash
# The linters: the rooms' include order (scripts/layers.sh), clang-format
# over every C++ file of the tree, clang-tidy over src/ and tests/ with the
# checks of .clang-tidy (the names' style among them), then cppcheck with the suppressions of .cppcheck-suppressions.
# Quiet when clean; exits non-zero on any finding.
#   scripts/lint.sh [build-dir]      (make lint; the build dir must be configured)
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build}" && pwd)
cd "$root"

# CMake writes the compile commands when it configures (CMAKE_EXPORT_COMPILE_COMMANDS).
[ -f "$build/compile_commands.json" ] || cmake "$build" >/dev/null
sources=$(python3 - "$build/compile_commands.json" "$root/src/" "$root/tests/" <<'PY'
import json, sys
for entry in json.load(open(sys.argv[1])):
    if entry["file"].startswith(tuple(sys.argv[2:])):
        print(entry["file"])
PY
)
sources=$(printf '%s\n' $sources | sort -u)

# clang parses the tree as the cross compiler sees it: the MinGW target and
# the C++ headers of Debian's MinGW g++, whose folders that compiler names.
cxx=x86_64-w64-mingw32-g++-posix
tidy_args=(-quiet -p "$build" -extra-arg=--target=x86_64-w64-mingw32)
while read -r folder; do
  case $folder in */c++|*/c++/*) tidy_args+=("-extra-arg=-isystem$folder") ;; esac
done < <(echo | $cxx -xc++ -E -v - 2>&1 | sed -n '/<...> search starts here/,/End of search list/p' | grep '^ /')

status=0
"$here/layers.sh" || { echo "lint: an include points to a room above its own" >&2; status=1; }

# The whole tree is held to .clang-format, so a change that drifts shows at once.
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -o '^[^:]*:[0-9]*:[0-9]*: warning' | cut -d: -f1 | sort -u || true)
if [ -n "$unformatted" ]; then
  printf '%s\n' $unformatted >&2
  echo "lint: not as .clang-format has it (clang-format -i the files above)" >&2
  status=1
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
run_tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
if ! "$run_tidy" "${tidy_args[@]}" -j "$(nproc 2>/dev/null || echo 2)" $sources >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -v -E '^(clang-tidy|Suppressed|Use -header-filter|[0-9]+ warnings? generated|Running clang-tidy)' >&2 || true
  echo "lint: clang-tidy found the above" >&2
  status=1
fi

if ! cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability --inline-suppr \
    --suppressions-list=.cppcheck-suppressions --std=c++20 --language=c++ --library=windows --platform=win64 \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 -D_WIN32 -D_WIN64 \
    -I src -j "$(nproc 2>/dev/null || echo 2)" src/; then
  echo "lint: cppcheck found the above" >&2
  status=1
fi
exit $status
