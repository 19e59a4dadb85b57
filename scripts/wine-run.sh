#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of a build (WINEPREFIX, else build/windows/wine),
# with one persistent Wine server for the prefix: each process then starts in a twentieth of a
# second instead of seconds. The prefix is made on first use; Wine's menu builder stays off, so
# nothing is written into the desktop's menus. `wine-run.sh --stop` ends the prefix's server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}
export WINEARCH=win64
# Debian keeps wine64 and wineserver out of PATH.
export PATH=/usr/lib/wine:$PATH

if [ "${1:-}" = --stop ]; then
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  exit 0
fi

mkdir -p "$(dirname "$WINEPREFIX")"
(
  # One process makes the prefix and starts its server while the others wait; nothing started
  # here keeps the lock (descriptor 9) open.
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine64 wineboot --init </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
  fi
  # Without a display Wine's null graphics driver still makes (unseen) windows, such as the one that
  # hears the session's end; with one, windows appear on it.
  graphics=x11
  [ -n "${DISPLAY:-}" ] || graphics=null
  if [ "$(cat "$WINEPREFIX.graphics" 2>/dev/null)" != "$graphics" ]; then
    # A running server's desktop keeps the driver and the screen it started with.
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w 9>&-
    wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
    echo "$graphics" >"$WINEPREFIX.graphics"
  fi
  # A new server's first process starts the prefix's background services, which outlive it: they
  # are started here, away from the caller's output, or a caller reading that output to its end
  # (test discovery does) would wait for them for ever. `wineserver -p` answers 0 when it started
  # the server and 2 when one runs already.
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    wine64 wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"
exec wine64 "$@"
