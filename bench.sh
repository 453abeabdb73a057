#!/usr/bin/env bash
# Builds the benchmarks in a Release build (build/bench, or BENCH_BUILD_DIR) and runs them.
# Each prints its figures, the ratio to a raw SQLite baseline measured in the same run where
# it has one, and whether its target was met. Not part of ./test.sh.
#   ./bench.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")"
ROUNDS=${1:-5}
BUILD=${BENCH_BUILD_DIR:-build/bench}
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVAN_BENCH=ON "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target bench_collect bench_month bench_gui calc_bench
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
echo "== $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$BUILD/bench/bench_collect" "$((ROUNDS < 3 ? 3 : ROUNDS))"
"$BUILD/bench/bench_month" "$ROUNDS"
echo "-- calc_bench (the calc layer's own split of reading and computing)"
"$BUILD/tests/calc/calc_bench" "$ROUNDS"
"$BUILD/bench/bench_gui" "$ROUNDS"
