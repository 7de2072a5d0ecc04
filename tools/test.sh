#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds and runs
# every test (native under ASan/UBSan and TSan, the DLL under Wine).
# Exits non-zero when anything fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"
jobs=$(nproc)

bash tools/setup.sh || exit 1

status=0
summary=()
run_build() {  # preset
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}
run_tests() {  # preset label
  local out
  out=$(mktemp)
  ctest --preset "$1" --timeout 1200 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  summary+=("$2: $(grep -E 'tests passed|tests failed' "$out" | tail -n 1)")
  rm -f "$out"
  return "$rc"
}

echo "== native build (ASan + UBSan)"
if run_build native; then
  cmake --install build/native >/dev/null || status=1
  run_tests native "native" || status=1
else
  summary+=("native: BUILD FAILED"); status=1
fi

echo "== native build (ThreadSanitizer)"
if run_build native-tsan; then
  run_tests native-tsan "native-tsan" || status=1
else
  summary+=("native-tsan: BUILD FAILED"); status=1
fi

echo "== win32 build"
if run_build win32; then
  cmake --install build/win32 >/dev/null || status=1
  # One X server for the whole Wine run.
  Xvfb :88 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:88
  for _ in $(seq 50); do [ -S /tmp/.X11-unix/X88 ] && break; sleep 0.2; done
  export MORVEX_WINEPREFIX=${MORVEX_DEPS_CACHE:-/var/cache/morvex-deps}/wineprefix-win32
  # Make the prefix once, then keep one wineserver (and the session that its
  # first program starts) alive for the whole run.
  WINEDEBUG=-all WINEPREFIX=$MORVEX_WINEPREFIX wineserver -p >/dev/null 2>&1 || true
  bash tools/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
  run_tests win32 "win32 (Wine)" || status=1
  WINEPREFIX=$MORVEX_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
else
  summary+=("win32: BUILD FAILED"); status=1
fi

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$status"
