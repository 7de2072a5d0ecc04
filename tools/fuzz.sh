#!/usr/bin/env bash
# The fuzz targets (native clang, libFuzzer, ASan + UBSan).
#
#   tools/fuzz.sh --seconds N [target ...]   build, then fuzz each target N seconds
#   tools/fuzz.sh --replay [target ...]      build, then run every corpus input once
#
# Corpora: fuzz/corpus/<target>/ (seeds and regression inputs, committed),
# build/fuzz/seeds/<target>/ (seeds recorded from emulated cameras) and
# build/fuzz/work/<target>/ (what fuzzing found; fuzzed on, not replayed:
# an input worth keeping is copied to fuzz/corpus/). Findings go to
# build/fuzz/findings/<target>/. Ends with "replay: N passed, N failed" or
# "fuzz: N passed, N failed"; exits non-zero when any target failed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"

mode=
seconds=0
case "${1:-}" in
  --seconds) mode=fuzz; seconds=${2:?--seconds needs a number}; shift 2 ;;
  --replay) mode=replay; shift ;;
  *) echo "usage: $0 --seconds N | --replay [target ...]" >&2; exit 2 ;;
esac
all_targets=(config_file still_image settings driver_port exports)
[ -f fuzz/mask_file_fuzz.cpp ] && all_targets+=(mask_file)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

build=build/fuzz
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$repo
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "== fuzz build"
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_SANITIZE=address -DMORVEX_FUZZ=ON -DMORVEX_TESTS=OFF \
  "${launcher[@]}" >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" --target fuzz_targets >/dev/null || { echo "fuzz: build failed"; exit 1; }

# Recorded once: the emulated camera answers the same every time.
seeds=$build/seeds/driver_port
if [ ! -f "$seeds/emulated-0" ]; then
  mkdir -p "$seeds"
  "$build/fuzz/make_driver_port_seeds" "$seeds" >/dev/null || { echo "fuzz: driver-port seeds failed"; exit 1; }
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
flags=(-rss_limit_mb=4096 -timeout=120)

passed=0
failed=0
failed_names=()
for target in "${targets[@]}"; do
  binary=$build/fuzz/${target}_fuzz
  dirs=()
  for dir in "fuzz/corpus/$target" "$build/seeds/$target"; do
    [ -d "$dir" ] && dirs+=("$dir")
  done
  log=$(mktemp)
  if [ "$mode" = replay ]; then
    mapfile -t inputs < <(find "${dirs[@]}" -type f 2>/dev/null | sort)
    start=$(date +%s)
    "$binary" "${flags[@]}" "${inputs[@]}" >"$log" 2>&1
    rc=$?
    echo "$target: ${#inputs[@]} inputs in $(( $(date +%s) - start )) s, rc=$rc"
  else
    mkdir -p "$build/work/$target" "$build/findings/$target"
    # New inputs go to the first directory.
    dirs=("$build/work/$target" "${dirs[@]}")
    "$binary" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target/" "${dirs[@]}" >"$log" 2>&1
    rc=$?
    runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
    corp=$(grep -oE 'corp: [0-9]+' "$log" | tail -n 1)
    echo "$target: ${runs:-0} executions in $seconds s, ${cov:-cov: ?}, ${corp:-corp: ?}, rc=$rc"
  fi
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failed_names+=("$target")
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written|deadly' "$log" | head -n 20
    cp "$log" "$build/$target-failure.log" 2>/dev/null || true
  fi
  rm -f "$log"
done

[ ${#failed_names[@]} -gt 0 ] && echo "failed targets: ${failed_names[*]}"
if [ "$mode" = replay ]; then echo "replay: $passed passed, $failed failed"; else echo "fuzz: $passed passed, $failed failed"; fi
[ "$failed" -eq 0 ]
