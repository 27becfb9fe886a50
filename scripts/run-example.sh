#!/usr/bin/env bash
# Builds what the main job needs (the plug-in, the host stand-in and the toolbox; no tests,
# no benchmarks), then runs it on the bundled example (scripts/example-job.sh): out/spheres.voi
# with its label volume, label tables, picture, report and interactive page; then the values
# inside the spheres from ch2 of mricron-data.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "[1/4] Debian packages the build needs"
scripts/install-deps.sh
echo "[2/4] Building Glomera.so, HelmoraZT.exe and glomera-voi in build/"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target Glomera HelmoraZT glomera-voi
echo "[3/4] The main job on examples/mni_table.txt, into out/"
scripts/example-job.sh build/bin
echo "[4/4] The values inside each sphere, from a real image at hand: ch2 of mricron-data (MNI)"
build/bin/glomera-voi extract out/spheres.voi /usr/share/mricron/templates/ch2.nii.gz --stats \
    -o out/spheres_ch2.tsv --quiet
awk -F '\t' 'NR == 1 { printf "  %-28s %8s %8s %8s %6s\n", $4, $5, $6, $7, $10; next }
              { printf "  %-28s %8.2f %8.2f %8.2f %6d\n", $4, $5, $6, $7, $10 }' out/spheres_ch2.tsv
