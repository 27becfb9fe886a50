#!/usr/bin/env bash
# Builds the plug-in and the headless host, then makes one sphere VOI per valid line of the
# bundled coordinate list: out/spheres.voi, loaded back and checked by the host, with its
# NIfTI label volume and label table, a picture and a report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
mkdir -p out
build/bin/HelmoraZT.exe --list examples/coordinates.txt --output out/spheres.voi \
    --nifti out/spheres.nii.gz --png out/spheres.png --report out/spheres.txt \
    --report-json out/spheres.json
