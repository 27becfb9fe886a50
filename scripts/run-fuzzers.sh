#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for SECONDS (default 60) on a copy of its seed
# corpus. Fails when any target has a finding, which libFuzzer saves as TARGET-crash-*,
# -timeout-* or -oom-* in the work folder; the log shows the input in base64, so a finding in
# CI can be replayed. An input that takes more than 25 s is a finding (a loop that never ends),
# not a stalled run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh clang-14 libclang-rt-14-dev
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGLOMERA_FUZZ=ON -DGLOMERA_TESTS=OFF -DGLOMERA_BENCH=OFF >/dev/null
targets=(clean_up line_reader voi_reader plugin_lifetime table_import image)
# The fuzz targets and what they link, not the programs.
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/%/_fuzzer}" >/dev/null
work=${FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/glomera-fuzz-XXXXXX")}
mkdir -p "$work"
# Each fuzzer runs on one core: as many run side by side as there are cores, each for the
# whole SECONDS, so the stage takes a share of the time without fuzzing any target less.
fuzz() {
    local target=$1 corpus="$work/$1"
    mkdir -p "$corpus" "$work/$target.run"
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    # The importer's table suite seeds it with every layout it reads.
    if [ "$target" = table_import ]; then find tests/tables -type f -exec cp -n {} "$corpus"/ \;; fi
    # Each in a folder of its own: some targets write files where they run.
    local result=0
    (cd "$work/$target.run" && "$root/build-fuzz/bin/${target}_fuzzer" -max_total_time="$seconds" \
        -rss_limit_mb=4096 -timeout=25 -print_final_stats=1 -artifact_prefix="$work/$target-" \
        "$corpus" >"$work/$target.log" 2>&1) || result=$?
    echo "$result" >"$work/$target.status"
}
root=$PWD
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= $(nproc))); do sleep 1; done
    echo "fuzzing $target for ${seconds}s"
    fuzz "$target" &
done
wait
status=0
for target in "${targets[@]}"; do
    if [ "$(cat "$work/$target.status")" = 0 ]; then
        echo "$target:"
        grep -E "stat::number_of_executed_units" "$work/$target.log" | sed "s/^/  /"
        continue
    fi
    echo "FINDING in $target: see $work/$target.log"
    tail -40 "$work/$target.log"
    for finding in "$work/$target"-crash-* "$work/$target"-timeout-* "$work/$target"-oom-*; do
        [ -f "$finding" ] || continue
        echo "input $(basename "$finding"), base64:"
        head -c 8192 "$finding" | base64
    done
    status=1
done
exit $status
