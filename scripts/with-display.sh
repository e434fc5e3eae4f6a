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

# One such run at a time per prefix. Runs on displays of their own still
# share the prefix's one wineserver, and so one Wine desktop: its key state
# (a key one run holds is down for the other), its foreground and focus,
# and its end (the cleanup below ends the wineserver under the other run):
# a test run that overlaps the screenshots' run fails where alone it passes.
exec 9>"$WINEPREFIX.run.lock"
if ! flock -n 9; then
  echo "with-display: waiting for another run on $WINEPREFIX to end" >&2
  flock 9
fi

fifo=$(mktemp -u /tmp/covelin-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$fifo" 9>&- >/dev/null 2>&1 &
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
# The lock is this script's: a wineserver started below must not keep it.
"$@" 9>&-
