#!/usr/bin/env bash
# The demo: installs what is missing, builds the DLL and its samples, and runs
# the demo program against the emulated camera — under Wine, or, where this
# host only runs 32-bit code emulated (Wine threads crash under qemu-i386),
# the same program built natively against the same core.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"
bash tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
cmake --install build/win32 >/dev/null
bash tools/enable-i386.sh
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && [ -z "${MORVEX_WINE_FULL:-}" ]; then
  echo "32-bit code runs emulated on this host: running the native build of the demo."
  cmake --preset native >/dev/null
  cmake --build --preset native -j "$(nproc)" --target morvex-demo
  exec build/native/samples/demo/morvex-demo
fi
demo=dist/win32/bin/morvex-demo.exe
[ -f "$demo" ] || demo=dist/win32/bin/morvex-version.exe
exec bash tools/wine-run.sh "$demo"
