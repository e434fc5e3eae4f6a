#!/usr/bin/env bash
# Runs a command with an X display for Wine.
#   with-display.sh [--private] command [args...]
# Without DISPLAY, or with --private, an Xvfb is started on a display that
# nobody else uses; when the command ends, the wineserver of the project's
# prefix and that Xvfb are ended too.
set -u
private=
if [ "${1:-}" = "--private" ]; then private=1; shift; fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${COVELIN_WINEPREFIX:-$(dirname "$here")/build/wineprefix}

if [ -n "${DISPLAY:-}" ] && [ -z "$private" ]; then
  exec "$@"
fi

fifo=$(mktemp -u /tmp/covelin-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$fifo" >/dev/null 2>&1 &
xvfb=$!
num=
read -r -t 15 num <"$fifo"
rm -f "$fifo"
if [ -z "$num" ]; then
  echo "with-display: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=:$num

cleanup() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"$@"
