#!/usr/bin/env bash
# Builds an optimised tree and measures: the kernels with Google Benchmark (ratios against
# their limits printed at the end), the three ratios of the largest run five times over
# (load-back, the toolbox's outputs, a copy of the file), then workload 1 end to end
# through the headless host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DGLOMERA_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)" >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/glomera-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Repetitions in random interleaving, compared by their medians, keep the page cache and
# the machine's other load from favouring whichever benchmark runs first.
(cd "$work" && "$OLDPWD/build-release/bin/glomera_bench" --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$work/kernels.json" --benchmark_out_format=json)
python3 - "$work/kernels.json" <<'PY'
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
print("\nRatios against the limits (medians of the same run):")
for r in (5, 20, 100):
    fill = runs[f"FillFreshArray/{r}"]
    print(f"  makeSphereVoxels r={r:<3}  {runs[f'MakeSphereVoxels/{r}'] / fill:5.2f} x fill"
          f"   (literal two-pass: {runs[f'LiteralSphereVoxels/{r}'] / fill:5.2f} x)")
prepared = runs["WritePreparedBuffer/iterations:3"]
print(f"  writeVoiFile            {runs['WriteVoiFile/iterations:3'] / prepared:5.2f} x prepared buffer"
      f"   (stream insertion per number: {runs['StreamInsertionWriter/iterations:1'] / prepared:5.2f} x)")
print(f"  reading a full cleaned list once: {runs['ReadListOnce'] / 1000:.2f} ms"
      f"   (reread for every line: {runs['ReadListLineByIndex']:.1f} ms)")
PY
echo
# The ratios of the largest run, five times over, for their spread; then the whole workload.
for round in 1 2 3 4 5; do
    echo "Round $round"
    build-release/bin/workload_timer build-release/bin/HelmoraZT.exe "$work" 3 ratios
done | tee "$work/rounds.txt"
# Each ratio's spread over the rounds, against its limit.
python3 - "$work/rounds.txt" <<'PY'
import sys
limits = {"run with load-back / run with --no-load": 1.5,
          "nifti + png + report of its file / the run": 2.0,
          "run / copy of its file": 2.5}
seen = {name: [] for name in limits}
for line in open(sys.argv[1]):
    name, _, rest = line.strip().partition(":")
    if name in seen:
        seen[name].append(float(rest.split()[0]))
print("Spread over the rounds (limit; lowest, median, highest; rounds within the limit):")
for name, values in seen.items():
    if not values:
        continue
    values.sort()
    within = sum(v <= limits[name] for v in values)
    print(f"  {name + ':':44} <= {limits[name]:.1f}   {values[0]:.2f}  {values[len(values) // 2]:.2f}"
          f"  {values[-1]:.2f}   {within} of {len(values)}")
print()
PY
build-release/bin/workload_timer build-release/bin/HelmoraZT.exe "$work" "${1:-5}"
