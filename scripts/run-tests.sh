#!/usr/bin/env bash
# Builds everything and runs every test once, tier by tier (unit, e2e, slow, external), and
# prints each tier's time. With --sanitize, the `unit` and `e2e` tiers of a separate build
# under AddressSanitizer and UndefinedBehaviorSanitizer: the slow tier's kills, soak and
# memory limits and the external references check what the sanitizers cannot see.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
tiers=(unit e2e slow external)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options=(-DCMAKE_BUILD_TYPE=Debug -DGLOMERA_SANITIZE=ON -DGLOMERA_BENCH=OFF
             -DGLOMERA_BROWSER_TESTS=OFF)
    tiers=(unit e2e)
fi
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0

# Every test carries exactly one tier label; one without would never run.
unlabelled=$(ctest --test-dir "$build" -N -LE '^(unit|e2e|slow|external)$' | grep -c 'Test *#' || true)
if [ "$unlabelled" -ne 0 ]; then
    echo "tests without a tier label:" >&2
    ctest --test-dir "$build" -N -LE '^(unit|e2e|slow|external)$' >&2
    exit 1
fi

failed=()
times=()
for tier in "${tiers[@]}"; do
    echo "== $tier tests"
    start=$SECONDS
    ctest --test-dir "$build" -j"$(nproc)" --output-on-failure -L "^$tier\$" || failed+=("$tier")
    times+=("$tier $((SECONDS - start)) s")
done
echo "== tier times ($build): ${times[*]/%/,}" | sed 's/,$//'
if ((${#failed[@]})); then
    echo "failed tiers: ${failed[*]}" >&2
    exit 1
fi
