#!/usr/bin/env bash
# The main job on the bundled example, run in the current folder with the programs in BIN
# (build/bin unless given): imports examples/mni_table.txt, a table of MNI peaks as pasted
# from a paper (every line accounted for on standard error), and makes one sphere VOI per
# peak inside the accepted box: out/spheres.voi, loaded back and checked by the host, with
# its NIfTI label volume and label tables, a picture, a report and an interactive page that
# opens in any browser (out/spheres.html).
set -euo pipefail
bin=${1:-build/bin}
mkdir -p out
# The table has one peak outside the box: it is reported, and the job goes on without it.
"$bin/HelmoraZT.exe" --list examples/mni_table.txt --space mni --allow-dropped \
    --output out/spheres.voi --nifti out/spheres.nii.gz --png out/spheres.png \
    --report out/spheres.txt --report-json out/spheres.json --html out/spheres.html
