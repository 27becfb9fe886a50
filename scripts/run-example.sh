#!/usr/bin/env bash
# Builds what the main job needs (the plug-in, the host stand-in and the toolbox; no tests,
# no benchmarks), then runs it on the bundled example (scripts/example-job.sh): out/spheres.voi
# with its label volume, label tables, picture, report and interactive page, and the values
# inside the spheres from ch2 of mricron-data.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "[1/3] Debian packages the build needs"
scripts/install-deps.sh
echo "[2/3] Building Glomera.so, HelmoraZT.exe and glomera-voi in build/"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target Glomera HelmoraZT glomera-voi
echo "[3/3] The main job on examples/mni_table.txt, into out/ (and its spheres on ch2)"
scripts/example-job.sh build/bin
