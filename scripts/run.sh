#!/usr/bin/env bash
# Starts Covelin under Wine, the way `make run` does:
#   run.sh path/to/Covelin.exe
# With a DISPLAY, Covelin opens on that display. Without one, it runs on a
# virtual X display (Xvfb) inside a Wine desktop with a taskbar and tray, and
# this script says how to look at it. Either way it returns when Covelin ends
# (Exit in its dialog, or Ctrl+C here).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

inner=
if [ "${1:-}" = "--virtual" ]; then inner=1; shift; fi
exe=${1:?usage: run.sh path/to/Covelin.exe}
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
[ -f "$exe" ] || { echo "run: no program at $exe" >&2; exit 1; }

# A prefix of its own beside the build's test prefix: the tests keep windows
# away from the window manager, a person at a real desktop wants them managed.
export COVELIN_WINEPREFIX=${COVELIN_RUN_WINEPREFIX:-$(dirname "$exe")/wineprefix-run}
export WINEPREFIX=$COVELIN_WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

prepare_prefix() {
  "$here/wine-prefix.sh" || exit 1
  if [ ! -f "$WINEPREFIX/.covelin-run-ready" ]; then
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
    # The virtual desktop gets a taskbar (and with it a tray) only when asked.
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Covelin /t REG_SZ /d 1280x1024 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops\Covelin' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.covelin-run-ready"
  fi
}

if [ -z "$inner" ] && [ -n "${DISPLAY:-}" ]; then
  if [ ! -f "$WINEPREFIX/.covelin-run-ready" ]; then
    echo "run: preparing the Wine prefix $WINEPREFIX (once, about half a minute)"
  fi
  prepare_prefix
  cat <<EOF
Covelin is starting on your display ($DISPLAY).
  - Its tray icon sits in your desktop's notification area (or Wine's own
    system tray window); right-click it for Hide, Setting... and Exit.
  - Wine sees the hotkeys (Ctrl+\` hide/show, Ctrl+Left the dialog) only
    while one of Wine's windows has the keyboard focus.
  - Settings are kept in $(dirname "$exe")/setting.dat.
Press Exit in Covelin's dialog (or Ctrl+C here) to end it.
EOF
  exec wine "$exe"
fi

if [ -z "$inner" ]; then
  # No display: a private Xvfb for this run, ended with it.
  exec "$here/with-display.sh" "$0" --virtual "$exe"
fi

# --- on the virtual display that with-display.sh started ---
prepare_prefix
vnc=
if command -v x11vnc >/dev/null 2>&1; then
  x11vnc -display "$DISPLAY" -localhost -nopw -forever >"$WINEPREFIX/x11vnc.log" 2>&1 &
  vnc=$!
  trap 'kill $vnc 2>/dev/null' EXIT
fi
cat <<EOF
No DISPLAY: Covelin runs on the virtual X display $DISPLAY, inside a Wine
desktop of 1280x1024 with a taskbar (Covelin's tray icon at its right end).
To look at it:
  - a picture:  import -display $DISPLAY -window root covelin.png
  - a live view: $(if [ -n "$vnc" ]; then
      echo "x11vnc is serving it; see the port with: grep PORT $WINEPREFIX/x11vnc.log"
    else
      echo "apt-get install x11vnc, then: x11vnc -display $DISPLAY -localhost -nopw"
      echo "                 and point a VNC viewer at localhost:5900"
    fi)
  - from a desktop session (DISPLAY set), make run opens it on your screen.
Press Ctrl+C here to end it.
EOF
wine explorer /desktop=Covelin,1280x1024 "$exe"
# The desktop's explorer may outlive Covelin by a moment; wait for Wine to go
# quiet so Ctrl+C is not needed after a normal Exit.
wineserver -w
