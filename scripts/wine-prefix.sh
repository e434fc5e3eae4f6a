#!/usr/bin/env bash
# Creates the private Wine prefix once (WINEPREFIX must be set), with the
# settings that keep test runs from hanging: no crash dialog, no Mono/Gecko
# installers, and no window-manager round trips when windows are hidden.
set -u
: "${WINEPREFIX:?}"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 7>"$WINEPREFIX.lock"
flock 7
if [ -f "$WINEPREFIX/.covelin-ready" ]; then exit 0; fi
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all WINEARCH=win64
wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d Y /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.covelin-ready"
