"""From a table pasted from a paper to a cleaned time-series array and the page, in Python:
docs/python.md step by step, as cells of a notebook (each "# %%" starts one). The image is a
small synthetic 4D image in MNI space, made here with nibabel, so that the walkthrough runs
anywhere; put your own preprocessed BOLD image and its confounds table in its place.

    python3 examples/python_walkthrough.py --out walkthrough
"""
# %% The module and a folder for what it writes
import argparse
import pathlib

import numpy as np

import glomera

arguments = argparse.ArgumentParser(description=__doc__.splitlines()[0])
arguments.add_argument("--out", default="walkthrough", help="folder for the files written")
out = pathlib.Path(arguments.parse_args().out)
out.mkdir(parents=True, exist_ok=True)
print("glomera", glomera.__version__)

# %% A table as pasted from a paper's PDF: MNI peaks, one of them a typing mistake
pasted = """Table 2. Peaks of the contrast (MNI)
Region              x     y    z    T
Left amygdala     -22    -6  -18  5.31
Right amygdala     24    -4  -18  4.87
Left insula       -30    16    4  4.40
Anterior cingulate  2    38   12  6.02
Right insula       320    18   2  4.12
"""
table = glomera.parse_table(pasted, space="mni")
print(table.summary)
for line in table.lines:
    print(f"line {line.number}: {line.account}")
for peak in table.peaks:
    print(peak.name, "MNI", peak.mni, "TAL", tuple(round(v, 1) for v in peak.tal))
dropped = [line for line in table.lines if line.fate == "dropped"]
assert len(table.peaks) == 4 and len(dropped) == 1

# %% The peaks as a DataFrame, when pandas is installed
try:
    print(table.to_dataframe()[["name", "mni_x", "mni_y", "mni_z", "tal_x", "tal_y", "tal_z"]])
except ImportError:
    print("pandas is not installed: no DataFrame")

# %% What lies at each peak
found = glomera.where([p.mni for p in table.peaks], space="mni")
for point in found["points"]:
    print(point["given"] if "given" in point else point)

# %% A 4D image in MNI space and its confounds (here made up; yours from fMRIPrep)
import nibabel  # noqa: E402

rng = np.random.default_rng(0)
volumes, tr = 60, 2.0
affine = np.array([[3.0, 0, 0, -78], [0, 3, 0, -112], [0, 0, 3, -70], [0, 0, 0, 1]])
data = rng.normal(1000, 20, (53, 63, 52, volumes)) + 0.5 * np.arange(volumes)
image = nibabel.Nifti1Image(data.astype(np.float32), affine)
image.header.set_sform(affine, code=4)
image.header.set_xyzt_units("mm", "sec")
image.header["pixdim"][4] = tr
bold = out / "sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc_bold.nii.gz"
nibabel.save(image, str(bold))
confounds = out / "sub-01_task-rest_desc-confounds_timeseries.tsv"
motion = rng.normal(0, 0.1, (volumes, 3))
confounds.write_text("trans_x\ttrans_y\tcsf\n" + "".join(
    "\t".join(repr(float(v)) for v in row) + "\n" for row in motion))

# %% Each sphere's cleaned time series: an array of volumes by spheres
names, series = glomera.extract(
    table, bold, confounds=confounds, confound_columns="trans_*,csf", detrend=True,
    high_pass=0.01, low_pass=0.1, standardize="zscore", return_names=True)
print(names, series.shape)
assert series.shape == (volumes, 4)
assert np.allclose(np.nanmean(series, axis=0), 0, atol=1e-9)

# %% The same with the spheres masker, as a nilearn user would write it
masker = glomera.SpheresMasker([p.mni for p in table.peaks], radius=6, detrend=True,
                               high_pass=0.01, low_pass=0.1, t_r=tr, standardize=True)
signals = masker.fit_transform(str(bold), confounds=motion)
assert signals.shape == (volumes, 4)
print("correlation of the two amygdalae:",
      round(float(glomera.connectivity(signals)[0, 1]), 3))

# %% The spheres as a .voi file for the host, with a report, and the page inline
glomera.write_voi(table, out / "spheres.voi", report=out / "spheres.txt", anatomy=False)
page = glomera.view(table)
page.save(out / "spheres.html")
assert page._repr_html_().startswith("<iframe srcdoc=")
print("wrote", out / "spheres.voi", out / "spheres.txt", out / "spheres.html")
page  # in a notebook, the last line of a cell shows the page
