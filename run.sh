#!/usr/bin/env bash
# Installs what is missing, builds the programs (not the tests: see ./test.sh), installs them
# into ./install (running the installer there on first use) and starts corvan21.
#   ./run.sh             start the program
#   ./run.sh --demo      also start the recorder simulator with sample punches on loopback
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=build/release
PREFIX=${CORVAN21_PREFIX:-$PWD/install}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCORVAN_TESTS=OFF
cmake --build "$BUILD" -j"$(nproc)"
cmake --install "$BUILD" >/dev/null
# The installation's data stay in the prefix itself, as they always have for ./run.sh.
export CORVAN21_HOME="$PREFIX"
"$PREFIX/bin/corvan21-batch" init
if [ "${1:-}" = "--demo" ] && [ -x "$PREFIX/bin/corvan21-sim" ]; then
  "$PREFIX/bin/corvan21-sim" --demo &
  SIM=$!
  trap 'kill $SIM 2>/dev/null || true' EXIT
fi
"$PREFIX/bin/corvan21"
