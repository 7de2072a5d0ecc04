#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests and the demo: a
# project-local prefix, no Mono/Gecko prompts, quiet, bounded in time.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
# The prefix lives beside the dependency cache (outside git): creating one
# takes minutes where 32-bit code runs emulated, so it is made once per machine.
cache_root=${MORVEX_DEPS_CACHE:-/var/cache/morvex-deps}
export WINEPREFIX=${MORVEX_WINEPREFIX:-$cache_root/wineprefix-win32}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win32
limit=${MORVEX_WINE_TIMEOUT:-800}

bash "$here/enable-i386.sh" || exit 1
wine_bin=$(command -v wine || echo /usr/lib/wine/wine)
if [ ! -f "$WINEPREFIX/.morvex-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # First use: build the prefix once, serialised between parallel tests. Where
  # 32-bit code runs emulated this takes minutes.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.morvex-ready" ]; then
      rm -rf "$WINEPREFIX"
      if timeout -k 10 1500 "$wine_bin" wineboot -i >/dev/null 2>&1; then
        timeout -k 10 300 wineserver -w 2>/dev/null
        touch "$WINEPREFIX/.morvex-ready"
      fi
    fi
  ) 9>"$WINEPREFIX.lock"
  [ -f "$WINEPREFIX/.morvex-ready" ] || { echo "wine-run: could not create the Wine prefix $WINEPREFIX" >&2; exit 1; }
fi
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec timeout -k 5 "$limit" xvfb-run -a "$wine_bin" "$@"
fi
exec timeout -k 5 "$limit" "$wine_bin" "$@"
