#!/usr/bin/env bash
# The demo: installs what is missing, builds and installs the SDK into
# dist/win32, and does the main job against the camera under Wine: opens
# it, takes 8- and 16-bit snapshots, saves every still format, records a
# 2-second AVI and runs the viewer for a few seconds, keeping its
# screenshot. Everything goes to out/. Without a configured camera it uses
# one emulated camera (natural scene) for this run only. Leaves no X server
# and no wineserver behind.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"
bash tools/setup.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset win32 "${launcher[@]}" >/dev/null
cmake --build --preset win32 --target morvex_sdk -j "$(nproc)"
cmake --install build/win32 >/dev/null
bash tools/enable-i386.sh

export MORVEX_WINEPREFIX=${MORVEX_WINEPREFIX:-$repo/build/wineprefix}
export WINEPREFIX=$MORVEX_WINEPREFIX
display_number=${MORVEX_XVFB_DISPLAY:-87}
xvfb=
emulator_key='HKCU\Software\Quisto\MorvexEmulator'
configured_here=0
run() { bash tools/wine-run.sh "$@"; }
finish() {
  if [ "$configured_here" = 1 ]; then run reg delete "$emulator_key" /v Cameras /f >/dev/null 2>&1 || true; fi
  # Wine's own processes end a few seconds after the last program; make sure.
  timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
}
trap finish EXIT
# One X server for the demo's Wine programs, ours to stop afterwards (an X
# server someone else runs on that display is left alone).
if [ -z "${DISPLAY:-}" ]; then
  if [ ! -S "/tmp/.X11-unix/X$display_number" ]; then
    Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    xvfb=$!
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.2; done
  fi
  export DISPLAY=":$display_number"
fi

if ! run reg query "$emulator_key" /v Cameras >/dev/null 2>&1; then
  run reg add "$emulator_key" /v Cameras /t REG_DWORD /d 1 /f >/dev/null
  configured_here=1
  echo "No camera configured: using one emulated camera for this run."
fi

rm -rf out
mkdir -p out
bin=dist/win32/bin
status=0
echo "== capture"
run "$bin/morvex-capture.exe" out 2>&1 | tee out/capture.log || status=1
echo "== viewer (5 s)"
run "$bin/morvex-viewer.exe" --seconds 5 --screenshot 'out\viewer.png' 2>&1 | tee out/viewer.log || status=1

echo
echo "== results in $repo/out"
ls -l out | sed 1d
rate=$(sed -n 's/.*measured frame rate \(.*\)$/\1/p' out/capture.log)
echo "frame rate of the recording: ${rate:-not measured}"
echo "SDK: $repo/dist/win32 (zip: $(ls "$repo"/dist/MorvexSdk-*-win32.zip))"
[ "$status" -eq 0 ] || echo "demo: a step failed (see above)" >&2
exit "$status"
