#!/usr/bin/env bash
# Builds the plug-in, the host stand-in and the toolbox, then imports the bundled table of
# MNI peaks as pasted from a paper (every line accounted for on standard error) and makes one
# sphere VOI per peak inside the accepted box: out/spheres.voi, loaded back and checked by the
# host, with its NIfTI label volume and label table, a picture and a report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
mkdir -p out
# The table has one peak outside the box: it is reported, and the job goes on without it.
build/bin/HelmoraZT.exe --list examples/mni_table.txt --space mni --allow-dropped \
    --output out/spheres.voi --nifti out/spheres.nii.gz --png out/spheres.png \
    --report out/spheres.txt --report-json out/spheres.json
