#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests and the demo: a
# project-local prefix, no Mono/Gecko prompts, quiet, bounded in time.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
# The prefix is the project's own, in the build tree, made on first use.
export WINEPREFIX=${MORVEX_WINEPREFIX:-$repo/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko prompts, and no debugger on a crash: a crashed test just fails.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
export WINEARCH=win32
limit=${MORVEX_WINE_TIMEOUT:-800}

bash "$here/enable-i386.sh" || exit 1
# Every Wine process of a prefix shares one wineserver and one desktop, so they
# must share one X server too: without a DISPLAY, use (or start) a long-lived
# Xvfb on a fixed display rather than one per program. Each run holds a shared
# lock on it; the last run to finish waits for the wineserver to end and stops
# that Xvfb, so nothing stays behind once the runs are over.
own_display=
if [ -z "${DISPLAY:-}" ]; then
  display_number=${MORVEX_XVFB_DISPLAY:-87}
  users=/tmp/morvex-xvfb-$display_number.users
  exec 7>>"$users"
  flock -s 7
  own_display=$display_number
  if [ ! -S "/tmp/.X11-unix/X$display_number" ]; then
    (
      flock 8
      if [ ! -S "/tmp/.X11-unix/X$display_number" ]; then
        setsid Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null 7>&- 8>&- &
        echo $! >"/tmp/morvex-xvfb-$display_number.pid"
        for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.2; done
      fi
    ) 8>"/tmp/morvex-xvfb-$display_number.lock"
  fi
  export DISPLAY=":$display_number"
fi
wine_bin=$(command -v wine || echo /usr/lib/wine/wine)
if [ ! -f "$WINEPREFIX/.morvex-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # First use: build the prefix once, serialised between parallel tests.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.morvex-ready" ]; then
      rm -rf "$WINEPREFIX"
      if timeout -k 10 1500 "$wine_bin" wineboot -i >/dev/null 2>&1 7>&- 9>&-; then
        timeout -k 10 300 wineserver -w 2>/dev/null 7>&- 9>&-
        touch "$WINEPREFIX/.morvex-ready"
      fi
    fi
  ) 9>"$WINEPREFIX.lock"
  [ -f "$WINEPREFIX/.morvex-ready" ] || { echo "wine-run: could not create the Wine prefix $WINEPREFIX" >&2; exit 1; }
fi
if [ -z "$own_display" ]; then
  exec timeout -k 5 "$limit" "$wine_bin" "$@"
fi
# Neither Wine nor the wineserver it starts may hold the users' lock.
timeout -k 5 "$limit" "$wine_bin" "$@" 7>&-
rc=$?
# The last user of the display: let the wineserver end, then stop the X server.
if flock -xn 7; then
  timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null
  pid_file=/tmp/morvex-xvfb-$own_display.pid
  if [ -f "$pid_file" ]; then
    kill "$(cat "$pid_file")" 2>/dev/null
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$own_display" ] || break; sleep 0.1; done
    rm -f "$pid_file"
  fi
fi
exit $rc
