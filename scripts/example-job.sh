#!/usr/bin/env bash
# The main job on the bundled example, run in the current folder with the programs in BIN
# (build/bin unless given): imports examples/mni_table.txt, a table of MNI peaks as pasted
# from a paper (every line accounted for on standard error), and makes one sphere VOI per
# peak inside the accepted box: out/spheres.voi, loaded back and checked by the host, with
# its NIfTI label volume and label tables, a picture, a report and an interactive page that
# opens in any browser (out/spheres.html). Then the values inside each sphere on a real image
# at hand, ch2 of mricron-data: out/spheres_ch2.tsv, printed as a table. Last, the table's
# peaks as spheres in the image's own millimetres (--peaks) on a small resting-state run in
# MNI space made by examples/make_bold_example.py, with an fMRIPrep-style confounds table:
# the cleaned time series out/spheres_bold.tsv and their correlation matrix
# out/spheres_bold_connectivity.tsv, each with what made it in out/spheres_bold.json.
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

# The researcher's path to a connectivity analysis: a preprocessed run (ch2 is 3D), the
# paper's MNI peaks as 6 mm spheres in the run's own MNI millimetres, motion, CSF and white
# matter regressed out after detrending and a 0.01-0.1 Hz band, z-scored, then correlated.
/usr/bin/python3 examples/make_bold_example.py out/bold >/dev/null
bold=out/bold/sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc
"$bin/glomera-voi" extract --peaks examples/mni_table.txt --space mni --radius 6 \
    "${bold}_bold.nii.gz" --confounds out/bold/sub-01_task-rest_desc-confounds_timeseries.tsv \
    --confound-columns 'trans_*,rot_*,csf,white_matter' --detrend --high-pass 0.01 \
    --low-pass 0.1 --standardize zscore --connectivity correlation -o out/spheres_bold.tsv \
    --quiet 2>/dev/null
echo "Cleaned time series of the peaks' spheres on out/bold (z-scores), first volumes of out/spheres_bold.tsv:"
awk -F '\t' 'NR <= 4 { line = "  "; for (c = 1; c <= 4; c++) line = line sprintf(NR == 1 ? "%-22.21s" : "%-22.3f", $c); print line }' \
    out/spheres_bold.tsv
echo "Their correlations, from out/spheres_bold_connectivity.tsv:"
awk -F '\t' '{ line = "  " sprintf("%-27.26s", $1); for (c = 2; c <= NF; c++) line = line sprintf(NR == 1 ? "%7.6s" : "%7.2f", $c); print line }' \
    out/spheres_bold_connectivity.tsv
