#!/usr/bin/env bash
# Builds an optimised tree and measures: the kernels with Google Benchmark (ratios against
# their limits printed at the end), then five times over the largest run, the strict reader
# and the toolbox's outputs of its file, each against a copy of the file, with their peak
# resident sizes; then the run's time and peak size as the list and the radius grow.
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
# The ratios of the largest run against a copy of its file, five times over, for their
# spread; then the whole workload.
for round in 1 2 3 4 5; do
    echo "Round $round"
    build-release/bin/workload_timer build-release/bin/HelmoraZT.exe "$work" 3 ratios
done | tee "$work/rounds.txt"
# Each figure's spread over the rounds, against its limit (none for the load-back).
python3 - "$work/rounds.txt" <<'PY'
import sys
limits = {"run / copy": 2.0, "info / copy": 1.2, "outputs / copy": 3.0,
          "run with load-back / copy": None, "peak run": 64, "peak outputs": 200}
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
    limit = limits[name]
    unit = " MB" if name.startswith("peak") else ""
    bound = f"<= {limit:g}{unit}" if limit else "no limit"
    within = f"{sum(v <= limit for v in values)} of {len(values)}" if limit else ""
    print(f"  {name + ':':28} {bound:>12}   {values[0]:6.2f}  {values[len(values) // 2]:6.2f}"
          f"  {values[-1]:6.2f}   {within}")
print()
PY
build-release/bin/workload_timer build-release/bin/HelmoraZT.exe "$work" "${1:-5}"
