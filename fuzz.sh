#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a while on a copy of
# its corpus. Usage: ./fuzz.sh [seconds-per-target, default 60] [target...]
# Targets: records timefields deffiles usbcontrol (default: all, one after the other).
# Inputs that crash or break an invariant land in <build>/artifacts/; the exit status is 1
# when any target found one.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
SECONDS_PER_TARGET=${1:-60}
[ $# -gt 0 ] && shift
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(records timefields deffiles usbcontrol)
case "$SECONDS_PER_TARGET" in
  ''|*[!0-9]*) echo "usage: $0 [seconds-per-target] [target...]" >&2; exit 2 ;;
esac

# The fuzzing tool chain beside the usual packages: clang and its sanitizer and libFuzzer
# run-time libraries.
./scripts/deps.sh clang libclang-rt-dev

BUILD=${BUILD_DIR:-build/fuzz}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVAN_FUZZ=ON
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]/#/fuzz_}"

mkdir -p "$BUILD/artifacts" "$BUILD/logs"
# Leak checks are off: the toolkit keeps caches for the life of the process.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8

failed=()
for t in "${TARGETS[@]}"; do
  work=$BUILD/corpus/$t
  rm -rf "$work"
  mkdir -p "$work"
  cp -r fuzz/corpus/"$t"/. "$work"/
  extra=()
  [ -d fuzz/regressions/"$t" ] && extra+=("$ROOT/fuzz/regressions/$t")
  log=$BUILD/logs/$t.log
  echo "== $t: ${SECONDS_PER_TARGET}s (log $log)"
  set +e
  "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$BUILD/artifacts/$t-" "$work" "${extra[@]}" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(echo "$last" | grep -o 'cov: [0-9]*' || true)
  ft=$(echo "$last" | grep -o 'ft: [0-9]*' || true)
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    echo "   FOUND a failure (exit $rc); artifacts:"
    ls -1 "$BUILD/artifacts/" | grep "^$t-" | sed 's/^/     /' || true
    grep -m3 -E 'ERROR: |runtime error|invariant broken' "$log" | sed 's/^/   /' || true
  else
    echo "   runs ${runs:-?}, ${cov:-cov: ?}, ${ft:-ft: ?}"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found failures in: ${failed[*]} (inputs in $BUILD/artifacts/)"
  exit 1
fi
echo "no failures"
