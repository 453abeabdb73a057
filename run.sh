#!/usr/bin/env bash
# Installs what is missing, builds, installs into ./install on first use (running the
# installer there) and starts corvan21.
#   ./run.sh             start the program
#   ./run.sh --demo      also start the recorder simulator with sample punches on loopback
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=build/release
PREFIX=${CORVAN21_PREFIX:-$PWD/install}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX"
cmake --build "$BUILD" -j"$(nproc)"
cmake --install "$BUILD" >/dev/null
export CORVAN21_HOME="$PREFIX"
"$PREFIX/corvan21-batch" init
if [ "${1:-}" = "--demo" ] && [ -x "$PREFIX/corvan21-sim" ]; then
  "$PREFIX/corvan21-sim" --demo &
  SIM=$!
  trap 'kill $SIM 2>/dev/null || true' EXIT
fi
"$PREFIX/corvan21"
