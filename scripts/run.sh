#!/usr/bin/env bash
# Starts Covelin under Wine: on the user's display when there is one,
# otherwise on a virtual X display with a Wine desktop and taskbar.
set -u
exe=${1:?usage: run.sh path/to/Covelin.exe}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -n "${DISPLAY:-}" ]; then
  exec "$here/wine-run.sh" "$exe"
fi
echo "No DISPLAY: starting Covelin on a virtual X display (Xvfb)."
exec "$here/with-display.sh" "$here/wine-run.sh" explorer /desktop=Covelin,1024x768 "$exe"
