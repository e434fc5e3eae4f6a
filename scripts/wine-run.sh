#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's private prefix.
# Used by CTest as the cross-compiling emulator, by `make run` and by hand:
#   scripts/wine-run.sh build/tests/test_engine.exe [args...]
# The prefix is COVELIN_WINEPREFIX (default: <repo>/build/wineprefix); it is
# created once and reused. With no DISPLAY, an Xvfb is started for the run.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

export WINEPREFIX=${COVELIN_WINEPREFIX:-$(dirname "$here")/build/wineprefix}
export COVELIN_WINEPREFIX=$WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

if [ -z "${DISPLAY:-}" ]; then
  exec "$here/with-display.sh" "$0" "$@"
fi

"$here/wine-prefix.sh" || exit 1
exec wine "$@"
