#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds and runs
# every test (native under ASan/UBSan and TSan, the DLL under Wine), and
# checks the formatting of the files changed since the last formatting commit.
# Exits non-zero when anything fails.
#
#   tools/test.sh                      every build, every test
#   tools/test.sh win32                one build (native, native-tsan, fuzz, win32)
#   tools/test.sh native -R Still      one build, the tests whose names match
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"
jobs=$(nproc)

builds=()
filter=()
while [ $# -gt 0 ]; do
  case $1 in
    native | native-tsan | fuzz | win32) builds+=("$1") ;;
    -R) [ $# -ge 2 ] || { echo "test.sh: -R needs a pattern" >&2; exit 2; }
        filter=(-R "$2"); shift ;;
    -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown argument '$1' (builds: native native-tsan fuzz win32; -R pattern)" >&2; exit 2 ;;
  esac
  shift
done
[ ${#builds[@]} -gt 0 ] || builds=(native native-tsan fuzz win32)
wanted() { local b; for b in "${builds[@]}"; do [ "$b" = "$1" ] && return 0; done; return 1; }

bash tools/setup.sh || exit 1

# A second run recompiles only what changed.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$repo
fi

# CI builds treat every warning as an error.
werror=()
[ -n "${CI:-}" ] && werror=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)

xvfb=
wine_prefix=
cleanup() {
  if [ -n "$wine_prefix" ]; then WINEPREFIX=$wine_prefix wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

status=0
summary=()
total_passed=0
total_failed=0
run_build() {  # preset
  cmake --preset "$1" "${werror[@]}" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}
run_tests() {  # preset label [ctest arguments]
  local out preset=$1 name=$2
  shift 2
  out=$(mktemp)
  ctest --preset "$preset" "${filter[@]}" "$@" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed|tests failed' "$out" | tail -n 1)
  summary+=("$name: ${line:-no result}")
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  elif grep -q 'No tests were found' "$out"; then
    rc=0
  else
    total_failed=$((total_failed + 1))
  fi
  rm -f "$out"
  return "$rc"
}

echo "== format check (files changed since the last formatting commit)"
format_line=$(bash tools/format-check.sh 2>&1 | tee /dev/stderr | tail -n 1)
if [[ $format_line =~ need\ clang-format$ ]] && [[ ! $format_line =~ \ 0\ need ]]; then
  summary+=("$format_line (tools/format-check.sh --fix)"); status=1; total_failed=$((total_failed + 1))
elif [[ ! $format_line =~ need\ clang-format$ ]]; then
  summary+=("format: NOT CHECKED: $format_line"); status=1; total_failed=$((total_failed + 1))
else
  summary+=("$format_line")
fi

if wanted native; then
  echo "== native build (ASan + UBSan)"
  if run_build native; then
    cmake --install build/native >/dev/null || status=1
    run_tests native "native" || status=1
  else
    summary+=("native: BUILD FAILED"); status=1; total_failed=$((total_failed + 1))
  fi
fi

if wanted native-tsan; then
  echo "== native build (ThreadSanitizer)"
  if run_build native-tsan; then
    run_tests native-tsan "native-tsan" || status=1
  else
    summary+=("native-tsan: BUILD FAILED"); status=1; total_failed=$((total_failed + 1))
  fi
fi

if wanted fuzz; then
  echo "== fuzz replay (every corpus input once)"
  out=$(mktemp)
  bash tools/fuzz.sh --replay 2>&1 | tee "$out"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E '^replay: ' "$out" | tail -n 1)
  summary+=("fuzz replay: ${line#replay: }")
  if [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
    total_passed=$((total_passed + BASH_REMATCH[1]))
    total_failed=$((total_failed + BASH_REMATCH[2]))
  else
    summary[-1]="fuzz replay: no result"
    total_failed=$((total_failed + 1))
  fi
  rm -f "$out"
fi

if wanted win32; then
  echo "== win32 build"
  if ! run_build win32; then
    summary+=("win32: BUILD FAILED"); status=1; total_failed=$((total_failed + 1))
  elif ! cmake --install build/win32 >/dev/null; then
    summary+=("win32: INSTALL FAILED"); status=1; total_failed=$((total_failed + 1))
  elif ! bash tools/enable-i386.sh; then
    # One clear failure instead of every Windows test failing on its own.
    summary+=("win32: NOT RUN: this machine runs no 32-bit x86 programs (see tools/enable-i386.sh)")
    total_failed=$((total_failed + 1)); status=1
  else
    # One X server for the whole Wine run.
    Xvfb :88 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:88
    for _ in $(seq 50); do [ -S /tmp/.X11-unix/X88 ] && break; sleep 0.2; done
    export MORVEX_WINEPREFIX=$PWD/build/wineprefix
    wine_prefix=$MORVEX_WINEPREFIX
    # The prefix is kept between runs: start from no SDK keys in its registry.
    bash tools/wine-reset-keys.sh "$MORVEX_WINEPREFIX" || true
    # Make the prefix once, then keep one wineserver (and the session that its
    # first program starts) alive for the whole run.
    WINEDEBUG=-all WINEPREFIX=$MORVEX_WINEPREFIX wineserver -p >/dev/null 2>&1 || true
    bash tools/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
    label="win32 (Wine)"
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && label="win32 (Wine under qemu-i386)"
    run_tests win32 "$label" || status=1
    cleanup
    xvfb= wine_prefix=
  fi
fi

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "tests: $total_passed passed, $total_failed failed"
exit "$status"
