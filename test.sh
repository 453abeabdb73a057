#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${BUILD_DIR:-build/test}
EXTRA=()
# --sanitize: the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
if [ "${1:-}" = "--sanitize" ]; then
  BUILD=${BUILD_DIR:-build/asan}
  EXTRA=(-DCORVAN_ASAN=ON)
  # Leak checks stay on: every test program ends with its memory accounted for.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
# The code's layout is what .clang-format says (clang-format 14, Debian 12's): a file it would
# change fails the run before anything is built. `clang-format -i FILE` mends it.
find app common store calc recorder output screens usblib tools tests bench fuzz packaging \
     \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
# The prefix is the package's (/usr), so that the package test packs every install() rule as the
# Debian package has it; the test build itself is never installed.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVAN_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr "${EXTRA[@]}"
cmake --build "$BUILD" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"
