#!/usr/bin/python3
"""Checks `glomera-voi extract --stats` against MRtrix3's `mrstats -mask` on the label volume.

The images and VOIs are those of extract_check.py: 2 mm and 3 mm MNI grids (4D), an oblique
TAL grid (3D), a partial field of view (a big-endian slab), NaN and infinite cells, a grid
that misses every VOI. For each image `glomera-voi nifti --grid IMAGE` puts the labels on the
image's grid; for each VOI that shares no voxel with another (so that the label volume holds
all of its cells), `mrcalc LABELS N -eq` makes its mask and `mrstats IMAGE -mask MASK`
computes per volume what extract wrote for that image, volume and VOI.

What is compared, and how exactly:
  - count: exactly. mrstats leaves NaN and infinite values out of every statistic and its
    count, as extract does (extract counts them apart, in nonfinite, which mrstats does not
    give).
  - mean, median, std, min, max: to a relative 1e-5, as mrstats prints six significant
    digits. Its std is the sample one (n - 1), its median of an even count the mean of the
    two middle values: the same conventions as extract's and numpy's (np.median,
    np.std(ddof=1)); a VOI with one value has no std (N/A in both).
  - a volume where the VOI has no finite cell: N/A in mrstats, n/a in extract.
The table form of mrstats is read (one line per volume) rather than `-output FIELD`, which
stops with an error at the first volume without a value.

Exits 0 when every number agrees, 1 naming each disagreement, 77 when mrstats or mrcalc is
missing (Debian's mrtrix3; scripts/install-deps.sh installs it)."""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np

import extract_check as common

SKIP = 77
STATISTICS = ("mean", "median", "std", "min", "max", "count")


def disjoint_vois(vois):
    """The 1-based indices of the VOIs that share no 1 mm voxel with any other. A cell of a grid
    belongs to the VOI owning the voxel its centre falls on, so these VOIs share no cell."""
    return [n + 1 for n, (_, voxels) in enumerate(vois)
            if not any(voxels & other for m, (_, other) in enumerate(vois) if m != n)]


def mrstats_rows(image, mask):
    """Per volume, mrstats' statistics of the image's values in the mask (None for N/A)."""
    run = subprocess.run(["mrstats", "-quiet", image, "-mask", mask], capture_output=True,
                         text=True, check=True)
    rows = []
    for line in run.stdout.splitlines():
        # "       [ 0 ]  mean  median  std  min  max  count"
        fields = line.replace("[", " ").replace("]", " ").split()
        values = [None if f == "N/A" else float(f) for f in fields[1:]]
        rows.append(dict(zip(STATISTICS, values), volume=int(fields[0])))
    return rows


def extract_number(text):
    return None if text == "n/a" else float(text)


def agree(ours, theirs):
    if ours is None or theirs is None:
        return ours is None and theirs is None
    return math.isclose(ours, theirs, rel_tol=1e-5, abs_tol=1e-12)


def compare(image, index, extracted, measured):
    if len(extracted) != len(measured):
        common.fail(f"{image} VOI {index}: {len(extracted)} volumes from extract, "
                    f"{len(measured)} from mrstats")
        return
    for ours, theirs in zip(extracted, measured):
        where = f"{image} volume {theirs['volume']} VOI {index}"
        if int(ours["count"]) != int(theirs["count"]):
            common.fail(f"{where}: count {ours['count']}, mrstats {int(theirs['count'])}")
        for key in STATISTICS[:-1]:
            if not agree(extract_number(ours[key]), theirs[key]):
                common.fail(f"{where}: {key} {ours[key]}, mrstats {theirs[key]}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--glomera-voi", required=True)
    parser.add_argument("--host", required=True)
    arguments = parser.parse_args()
    missing = [tool for tool in ("mrstats", "mrcalc") if shutil.which(tool) is None]
    if missing:
        print(f"extract_mrstats_check: skipped: {' and '.join(missing)} not found "
              "(Debian's mrtrix3; scripts/install-deps.sh installs it)")
        return SKIP
    rng = np.random.default_rng(21)
    compared = 0
    with tempfile.TemporaryDirectory() as folder:
        listing = os.path.join(folder, "spheres.txt")
        with open(listing, "w") as handle:
            handle.write(common.SPHERES)
        voi = os.path.join(folder, "spheres.voi")
        subprocess.run([arguments.host, "--quiet", "--raw-list", listing, "-o", voi], check=True,
                       stdout=subprocess.DEVNULL)
        vois = common.read_voi(voi)
        indices = disjoint_vois(vois)
        if len(indices) < 3:
            common.fail(f"only VOIs {indices} overlap no other: the check needs at least three")
        images = [path for path, _ in common.build_images(folder, rng)]

        table = os.path.join(folder, "stats.tsv")
        run = subprocess.run([arguments.glomera_voi, "extract", voi, *images, "--stats", "-q",
                              "-o", table], capture_output=True, text=True)
        if run.returncode != 0:
            common.fail(f"extract --stats exited {run.returncode}: {run.stderr}")
            return 1
        rows = common.read_table(table)[1]

        for image in images:
            labels = os.path.join(folder, "labels.nii.gz")
            subprocess.run([arguments.glomera_voi, "nifti", voi, labels, "--grid", image, "-q"],
                           check=True, stderr=subprocess.DEVNULL)
            for index in indices:
                mask = os.path.join(folder, f"mask{index}.mif")
                subprocess.run(["mrcalc", "-quiet", "-force", labels, str(index), "-eq", mask],
                               check=True)
                extracted = [r for r in rows if r["image"] == image and int(r["index"]) == index]
                compare(image, index, extracted, mrstats_rows(image, mask))
                compared += len(extracted)
    checked = "every number agreed" if not common.failures else \
        f"{len(common.failures)} disagreements"
    print(f"extract_mrstats_check: {len(images)} images, VOIs {indices}, {compared} rows "
          f"against mrstats: {checked}")
    return 1 if common.failures else 0


if __name__ == "__main__":
    sys.exit(main())
