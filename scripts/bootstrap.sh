#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing.
# Quiet when everything is there.
#   scripts/bootstrap.sh [lint]     with "lint", the linters too (make lint)
set -eu
need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

have_cmd cmake                         || need+=(cmake)
have_cmd make                          || need+=(make)
have_cmd x86_64-w64-mingw32-g++-posix  || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres    || need+=(binutils-mingw-w64-x86-64)
have_cmd wine                          || need+=(wine)
[ -x /usr/lib/wine/wine64 ]            || need+=(wine64)
have_cmd Xvfb                          || need+=(xvfb)
have_cmd zip                           || need+=(zip)
have_cmd makensis                      || need+=(nsis)
have_cmd flock                         || need+=(util-linux)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if [ "${1:-}" = "lint" ]; then
  have_cmd clang-tidy                  || need+=(clang-tidy)
  have_cmd cppcheck                    || need+=(cppcheck)
  have_cmd clang-format                || need+=(clang-format)
  have_cmd python3                     || need+=(python3)
fi

if [ ${#need[@]} -gt 0 ]; then
  echo "bootstrap: installing ${need[*]}"
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
