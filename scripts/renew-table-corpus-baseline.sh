#!/usr/bin/env bash
# The baseline of the table corpus (tests/corpus/baseline.txt), renewed from what the
# importer now reads, for a change that reads more tables right (git then shows what moved).
# A baseline marked "strict" stays so and is renewed only when no VOI is wrong at exit 0.
#
#   scripts/renew-table-corpus-baseline.sh [BUILD]      BUILD: the build folder, default build
#   scripts/renew-table-corpus-baseline.sh --strict [BUILD]
#       a strict baseline from now on: any wrong VOI at exit 0 fails the test
#   scripts/renew-table-corpus-baseline.sh --scoreboard FILE [BUILD]
#       writes the scoreboard to FILE and leaves the baseline as it is
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
scoreboard=
if [ "${1:-}" = --strict ]; then
    export GLOMERA_TABLE_BASELINE_STRICT=1
    shift
fi
if [ "${1:-}" = --scoreboard ]; then
    scoreboard=$(realpath -m "$2")
    shift 2
fi
build=$(realpath -m "${1:-$repo/build}")
cmake --build "$build" --target tables_tests glomera-voi -j2 >/dev/null
tests=$build/bin/tables_tests
filter=--gtest_filter=TableCorpus.ScoreboardIsNoWorseThanTheBaseline
if [ -n "$scoreboard" ]; then
    # The scoreboard is wanted even where the run is worse than the baseline.
    GLOMERA_TABLE_SCOREBOARD=$scoreboard "$tests" "$filter" >/dev/null || true
    cat "$scoreboard"
    exit 0
fi
renewed=$(mktemp)
trap 'rm -f "$renewed"' EXIT
GLOMERA_TABLE_BASELINE=$renewed "$tests" "$filter"
[ -s "$renewed" ] || { echo "the baseline was not renewed" >&2; exit 1; }
cp "$renewed" "$repo/tests/corpus/baseline.txt"
echo "renewed tests/corpus/baseline.txt"
