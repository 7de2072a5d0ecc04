#!/usr/bin/env bash
# Removes the SDK's registry keys (settings, emulator configuration, test
# keys) from the Wine prefix, so a test run starts from a known state. Runs
# while no wineserver holds the prefix: the registry is a text file then.
set -eu
prefix=${1:?prefix}
reg=$prefix/user.reg
[ -f "$reg" ] || exit 0
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
WINEPREFIX=$prefix timeout 60 wineserver -w >/dev/null 2>&1 || true
awk '
  /^\[/ { skip = ($0 ~ /^\[Software\\\\Quisto(\\\\|\])/) }
  !skip { print }
' "$reg" >"$reg.tmp" && mv "$reg.tmp" "$reg"
