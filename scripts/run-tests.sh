#!/usr/bin/env bash
# Builds everything and runs every test, the interactive page's in a real browser among them.
# With --sanitize, the same suite but the browser test runs in a separate build under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
excluded=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    # The browser test runs in the plain pass only: the page does not change with the build.
    options=(-DCMAKE_BUILD_TYPE=Debug -DGLOMERA_SANITIZE=ON -DGLOMERA_BENCH=OFF
             -DGLOMERA_BROWSER_TESTS=OFF)
    # The one-node Slurm runs the plain build's programs only once, in the plain pass.
    excluded=(-LE slurm)
fi
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure "${excluded[@]}"
