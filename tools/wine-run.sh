#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests and the demo: a
# project-local prefix, no Mono/Gecko prompts, quiet, bounded in time.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
export WINEPREFIX=${MORVEX_WINEPREFIX:-$repo/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win32
limit=${MORVEX_WINE_TIMEOUT:-280}

wine_bin=$(command -v wine || echo /usr/lib/wine/wine)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # First use: build the prefix once, serialised between parallel tests.
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || timeout -k 5 300 "$wine_bin" wineboot -i >/dev/null 2>&1
  ) 9>"$WINEPREFIX.lock"
fi
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec timeout -k 5 "$limit" xvfb-run -a "$wine_bin" "$@"
fi
exec timeout -k 5 "$limit" "$wine_bin" "$@"
