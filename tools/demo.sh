#!/usr/bin/env bash
# The demo: installs what is missing, builds the DLL and its samples, and runs
# the demo program against the emulated camera under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"
bash tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
cmake --install build/win32 >/dev/null
bash tools/enable-i386.sh
demo=dist/win32/bin/morvex-demo.exe
[ -f "$demo" ] || demo=dist/win32/bin/morvex-version.exe
exec bash tools/wine-run.sh "$demo"
