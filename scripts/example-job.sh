#!/usr/bin/env bash
# The main job on the bundled example, run in the current folder with the programs in BIN
# (build/bin unless given): imports examples/mni_table.txt, a table of MNI peaks as pasted
# from a paper (every line accounted for on standard error), and makes one sphere VOI per
# peak inside the accepted box: out/spheres.voi, loaded back and checked by the host, with
# its NIfTI label volume and label tables, a picture, a report and an interactive page that
# opens in any browser (out/spheres.html). Then the values inside each sphere on a real image
# at hand, ch2 of mricron-data: out/spheres_ch2.tsv, printed as a table.
set -euo pipefail
bin=${1:-build/bin}
mkdir -p out
# The table has one peak outside the box: it is reported, and the job goes on without it.
"$bin/HelmoraZT.exe" --list examples/mni_table.txt --space mni --allow-dropped \
    --output out/spheres.voi --nifti out/spheres.nii.gz --png out/spheres.png \
    --report out/spheres.txt --report-json out/spheres_report.json --html out/spheres.html
# ch2's header says MNI (sform code MNI_152): each TAL sphere covers the MNI cells its voxels
# come from, through Lancaster's spm transform, with no --grid-space needed.
"$bin/glomera-voi" extract out/spheres.voi /usr/share/mricron/templates/ch2.nii.gz --stats \
    -o out/spheres_ch2.tsv --quiet
echo "Inside each sphere on ch2 (mricron-data), from out/spheres_ch2.tsv:"
awk -F '\t' 'NR == 1 { printf "  %-28s %8s %8s %8s %8s %8s %6s\n", $4, $5, $6, $7, $8, $9, $10; next }
              { printf "  %-28s %8.2f %8.2f %8.2f %8.2f %8.2f %6d\n", $4, $5, $6, $7, $8, $9, $10 }' \
    out/spheres_ch2.tsv
