#!/usr/bin/python3
"""Checks `glomera-voi extract` against an independent computation with nibabel and numpy.

The rule, written here from its description alone: a cell of an image belongs to a VOI when
its centre, taken to millimetres by the image's affine (sform, else qform) and, for an MNI
image, to TAL by Lancaster's SPM transform, rounds (halves up) to one of the VOI's 1 mm
voxels. Values are nibabel's (scl_slope and scl_inter applied); non-finite ones are left out
and counted. Images: 2 mm and 3 mm MNI grids, an oblique TAL grid, 4D and 3D, big-endian,
a partial field of view, NaN and infinite cells, a grid that misses every VOI; VOIs that
overlap and share names. Also: the label volume on a grid labels exactly a VOI's cells where
no other VOI overlaps it.

Exits 0 when every number agrees, 1 naming each disagreement."""
import argparse
import json
import math
import os
import re
import subprocess
import sys
import tempfile

import nibabel as nib
import numpy as np

# Lancaster et al. (2007), MNI (SPM) to TAL: rows of [x y z 1].
LANCASTER_SPM = np.array([[0.9254, 0.0024, -0.0118, -1.0207],
                          [-0.0048, 0.9316, -0.0871, -1.7667],
                          [0.0152, 0.0883, 0.8924, 4.0926]])

# TAL spheres as the plug-in's list: x y z radius name r g b. The two Amygdala_L overlap,
# and so do IPS_L and Overlap_IPS; Top straddles the upper end of the slab image (its centre
# lies near MNI z = 58 mm), so that it lies partly outside it.
SPHERES = """-22 -6 -18 6 Amygdala_L 255 0 0
-20 -4 -16 5 Amygdala_L 255 0 0
24 -4 -18 6 Amygdala_R 255 0 0
-40.5 -60 42 8 IPS_L 0 128 255
-36 -56 44 6 Overlap_IPS 0 128 255
-4 50 18 10 mPFC 255 200 0
10 -20 54 7 Top 0 255 0
"""

failures = []


def fail(message):
    failures.append(message)
    program = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    print(f"{program}: {message}", file=sys.stderr)


def read_voi(path):
    """The VOIs of a .voi file: (name, set of (x, y, z))."""
    vois = []
    with open(path, newline="") as handle:
        lines = [line.rstrip("\r\n") for line in handle]
    n = 0
    while n < len(lines):
        if lines[n].startswith("NameOfVOI:"):
            name = lines[n].split(":", 1)[1].strip()
            while not lines[n].startswith("NrOfVoxels:"):
                n += 1
            count = int(lines[n].split(":", 1)[1])
            voxels = {tuple(int(v) for v in lines[n + 1 + k].split()) for k in range(count)}
            vois.append((name, voxels))
            n += count
        n += 1
    return vois


def cells_of(image, vois, mni):
    """Per VOI, the flat indices (i fastest) of its cells on the image's grid."""
    shape = image.shape[:3]
    i, j, k = np.meshgrid(*[np.arange(s) for s in shape], indexing="ij")
    ijk1 = np.stack([i.ravel(order="F"), j.ravel(order="F"), k.ravel(order="F"),
                     np.ones(i.size)])
    mm = (image.affine @ ijk1)[:3]
    if mni:
        mm = LANCASTER_SPM @ np.vstack([mm, np.ones(mm.shape[1])])
    lattice = np.floor(mm + 0.5).astype(np.int64).T
    result = []
    for _, voxels in vois:
        wanted = np.array(sorted(voxels), dtype=np.int64)
        low, high = wanted.min(axis=0), wanted.max(axis=0)
        box = np.zeros(high - low + 1, dtype=bool)
        box[tuple((wanted - low).T)] = True
        inside = np.all((lattice >= low) & (lattice <= high), axis=1)
        member = np.zeros(lattice.shape[0], dtype=bool)
        member[inside] = box[tuple((lattice[inside] - low).T)]
        result.append(np.nonzero(member)[0])
    return result


def statistics(values):
    finite = values[np.isfinite(values)]
    n = finite.size
    row = {"count": n, "nonfinite": values.size - n}
    row["mean"] = finite.mean() if n else math.nan
    row["median"] = float(np.median(finite)) if n else math.nan
    row["std"] = finite.std(ddof=1) if n > 1 else math.nan
    row["min"] = finite.min() if n else math.nan
    row["max"] = finite.max() if n else math.nan
    return row


def expected_rows(path, vois, mni):
    image = nib.load(path)
    data = np.asarray(image.get_fdata(dtype=np.float64))
    if data.ndim == 3:
        data = data[..., np.newaxis]
    cells = cells_of(image, vois, mni)
    rows = []
    for volume in range(data.shape[3]):
        flat = data[..., volume].ravel(order="F")
        for index, voi_cells in enumerate(cells):
            row = statistics(flat[voi_cells])
            row.update(volume=volume, index=index + 1, name=vois[index][0])
            rows.append(row)
    return rows, cells


def sphere_rows(path, peaks, mni_peaks):
    """The statistics of spheres made in the image's own (MNI) millimetres: cells whose centre
    lies within the radius of the peak, taken into MNI when it is given in TAL."""
    image = nib.load(path)
    data = np.asarray(image.get_fdata(dtype=np.float64))
    if data.ndim == 3:
        data = data[..., np.newaxis]
    shape = image.shape[:3]
    i, j, k = np.meshgrid(*[np.arange(s) for s in shape], indexing="ij")
    ijk1 = np.stack([i.ravel(order="F"), j.ravel(order="F"), k.ravel(order="F"),
                     np.ones(i.size)])
    mm = (image.affine @ ijk1)[:3].T
    rows = []
    for volume in range(data.shape[3]):
        flat = data[..., volume].ravel(order="F")
        for index, (name, centre, radius) in enumerate(peaks):
            centre = np.array(centre, dtype=float)
            if not mni_peaks:
                centre = np.linalg.solve(LANCASTER_SPM[:, :3], centre - LANCASTER_SPM[:, 3])
            inside = np.nonzero(((mm - centre) ** 2).sum(axis=1) <= radius * radius)[0]
            row = statistics(flat[inside])
            row.update(volume=volume, index=index + 1, name=name)
            rows.append(row)
    return rows


def warning_of(stderr, image, words):
    """The warning on `image` that says `words`, with its indented lines; "" for none."""
    for block in re.split(r"\n(?! )", stderr):
        if image in block.split("\n", 1)[0] and words in block:
            return block
    return ""


def number(text):
    return math.nan if text == "n/a" else float(text)


def agree(a, b):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-9)


def compare(path, got, wanted):
    if len(got) != len(wanted):
        fail(f"{path}: {len(got)} rows, expected {len(wanted)}")
        return
    for g, w in zip(got, wanted):
        where = f"{path} volume {w['volume']} VOI {w['index']}"
        for key in ("volume", "index", "count", "nonfinite"):
            if int(g[key]) != w[key]:
                fail(f"{where}: {key} {g[key]}, expected {w[key]}")
        if g["name"] != w["name"]:
            fail(f"{where}: name {g['name']}, expected {w['name']}")
        for key in ("mean", "median", "std", "min", "max"):
            if not agree(number(g[key]), float(w[key])):
                fail(f"{where}: {key} {g[key]}, expected {w[key]}")


def read_table(path):
    with open(path) as handle:
        header, *lines = handle.read().splitlines()
    columns = header.split("\t")
    return columns, [dict(zip(columns, line.split("\t"))) for line in lines]


def make_image(path, data, affine, code, dtype, endian=None):
    header = nib.Nifti1Header()
    if endian:
        header = header.as_byteswapped(endian)
    image = nib.Nifti1Image(data, affine, header)
    image.set_sform(affine, code=code)
    image.set_qform(affine, code=code)
    image.set_data_dtype(dtype)
    nib.save(image, path)
    return path


def mni_grid(size, shape):
    affine = np.diag([-size, size, size, 1.0])
    affine[:3, 3] = [90, -126, -72]
    return affine, shape


def build_images(folder, rng):
    images = []
    # 2 mm MNI, 4D, int16 with a slope: values stored as integers, read as value * 0.5 + 10.
    affine, shape = mni_grid(2.0, (91, 109, 91))
    raw = rng.integers(-2000, 2000, size=shape + (5,), dtype=np.int16)
    image = nib.Nifti1Image(raw, affine)
    image.set_sform(affine, code=4)
    image.set_qform(affine, code=4)
    image.set_data_dtype(np.int16)
    # The integers as they are, with the slope in the header (nibabel would rescale floats).
    image.header.set_slope_inter(0.5, 10.0)
    path = os.path.join(folder, "mni2_int16_slope.nii.gz")
    image.to_filename(path)
    written = nib.load(path)
    if not (np.array_equal(np.asanyarray(written.dataobj.get_unscaled()), raw)
            and written.dataobj.slope == 0.5 and written.dataobj.inter == 10.0):
        fail("nibabel did not keep the stored integers and the slope of the int16 image")
    images.append((path, True))

    # 3 mm MNI, 4D float32 with NaN and infinite cells, a volume where Amygdala_R is all NaN.
    affine, shape = mni_grid(3.0, (61, 73, 61))
    values = rng.normal(100.0, 15.0, size=shape + (4,)).astype(np.float32)
    values[rng.random(values.shape) < 0.1] = np.nan
    values[rng.random(values.shape) < 0.01] = np.inf
    tal_to_grid = np.linalg.inv(affine)
    mni_centre = np.linalg.solve(LANCASTER_SPM[:, :3], np.array([24, -4, -18]) - LANCASTER_SPM[:, 3])
    centre = np.round(tal_to_grid @ np.append(mni_centre, 1.0))[:3].astype(int)
    values[centre[0] - 4:centre[0] + 5, centre[1] - 4:centre[1] + 5,
           centre[2] - 4:centre[2] + 5, 2] = np.nan
    images.append((make_image(os.path.join(folder, "mni3_float_nan.nii.gz"), values, affine, 4,
                              np.float32), True))

    # An oblique 1.5 mm TAL grid, 3D float64, uncompressed.
    angle = math.radians(10)
    rotation = np.array([[math.cos(angle), -math.sin(angle), 0],
                         [math.sin(angle), math.cos(angle), 0], [0, 0, 1]])
    affine = np.eye(4)
    affine[:3, :3] = rotation * 1.5
    affine[:3, 3] = [-80.3, -110.6, -50.2]
    values = rng.normal(0.0, 1.0, size=(110, 130, 90))
    images.append((make_image(os.path.join(folder, "tal_oblique.nii"), values, affine, 3,
                              np.float64), False))

    # A slab of 2 mm MNI covering z from 20 mm up to 58 mm, 3D uint8, big-endian.
    affine, _ = mni_grid(2.0, None)
    affine[2, 3] = 20.0
    values = rng.integers(0, 255, size=(91, 109, 20), dtype=np.uint8).astype(np.int16)
    images.append((make_image(os.path.join(folder, "slab_bigendian.nii"), values, affine, 4,
                              np.dtype(">i2"), endian=">"), True))

    # A grid far from every VOI.
    affine, _ = mni_grid(2.0, None)
    affine[:3, 3] = [500, 500, 500]
    images.append((make_image(os.path.join(folder, "far_away.nii.gz"),
                              np.ones((10, 10, 10), dtype=np.float32), affine, 4, np.float32),
                   True))
    return images


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--glomera-voi", required=True)
    parser.add_argument("--host", required=True)
    arguments = parser.parse_args()
    rng = np.random.default_rng(21)
    with tempfile.TemporaryDirectory() as folder:
        listing = os.path.join(folder, "spheres.txt")
        with open(listing, "w") as handle:
            handle.write(SPHERES)
        voi = os.path.join(folder, "spheres.voi")
        subprocess.run([arguments.host, "--quiet", "--raw-list", listing, "-o", voi], check=True,
                       stdout=subprocess.DEVNULL)
        vois = read_voi(voi)
        if len(vois) != SPHERES.count("\n"):
            fail(f"{voi} holds {len(vois)} VOIs")
        images = build_images(folder, rng)

        # Every image into one table, two at a time.
        table = os.path.join(folder, "stats.tsv")
        run = subprocess.run([arguments.glomera_voi, "extract", voi] + [p for p, _ in images] +
                             ["--stats", "-o", table, "-j", "2"], capture_output=True, text=True)
        if run.returncode != 0:
            fail(f"extract --stats exited {run.returncode}: {run.stderr}")
        columns, rows = read_table(table)
        if columns != ["image", "volume", "index", "name", "mean", "median", "std", "min", "max",
                       "count", "nonfinite"]:
            fail(f"stats columns {columns}")
        all_cells = {}
        for path, mni in images:
            wanted, all_cells[path] = expected_rows(path, vois, mni)
            compare(path, [r for r in rows if r["image"] == path], wanted)
        if "misses every VOI" not in run.stderr or "far_away" not in run.stderr:
            fail("no warning that the far grid misses every VOI: " + run.stderr)
        slab = next(p for p, _ in images if "slab" in p)
        partly = warning_of(run.stderr, slab, "partly outside")
        if not re.search(r"^  7 Top: \d+ voxels outside$", partly, re.M):
            fail("no warning of Top, partly outside the slab: " + run.stderr)
        if "Top" in warning_of(run.stderr, slab, "no cell"):
            fail("Top, partly inside the slab, said to have no cell in it: " + run.stderr)

        # The time series of the 4D image, one column per VOI, duplicate names with index.
        path = images[0][0]
        series = os.path.join(folder, "series.tsv")
        subprocess.run([arguments.glomera_voi, "extract", voi, path, "-o", series, "-q"],
                       check=True)
        columns, rows = read_table(series)
        expected_columns = ["Amygdala_L_1", "Amygdala_L_2", "Amygdala_R", "IPS_L", "Overlap_IPS",
                            "mPFC", "Top"]
        if columns != expected_columns:
            fail(f"time series columns {columns}")
        wanted, _ = expected_rows(path, vois, True)
        for volume, row in enumerate(rows):
            for index, column in enumerate(expected_columns):
                w = wanted[volume * len(vois) + index]["mean"]
                if not agree(number(row[column]), w):
                    fail(f"time series volume {volume} {column}: {row[column]}, expected {w}")

        # JSON of the NaN image: the same numbers, null for n/a.
        path = images[1][0]
        run = subprocess.run([arguments.glomera_voi, "extract", voi, path, "--json", "-q"],
                             capture_output=True, text=True, check=True)
        document = json.loads(run.stdout)
        got = [{k: ("n/a" if v is None else v) for k, v in row.items()}
               for row in document["images"][0]["statistics"]]
        wanted, _ = expected_rows(path, vois, True)
        compare(path + " (JSON)", got, wanted)
        if document["failures"] != []:
            fail(f"JSON failures {document['failures']}")

        # The label volume on the 3 mm grid labels exactly the cells of VOIs no other overlaps.
        labels = os.path.join(folder, "labels.nii.gz")
        subprocess.run([arguments.glomera_voi, "nifti", voi, labels, "--grid", path, "-q"],
                       check=True, stderr=subprocess.DEVNULL)
        label_data = np.asanyarray(nib.load(labels).dataobj).ravel(order="F")
        for index in (2, 5):  # Amygdala_R and mPFC overlap nothing
            cells = np.nonzero(label_data == index + 1)[0]
            if not np.array_equal(cells, all_cells[path][index]):
                fail(f"label volume and extraction differ for VOI {index + 1}: "
                     f"{cells.size} against {all_cells[path][index].size} cells")
        # Spheres made in each image's own MNI millimetres from a table of peaks.
        peaks = [("Amygdala_L", (-22, -6, -18), 6.0), ("IPS_R", (42.3, -58.7, 44.1), 8.0),
                 ("mPFC", (-4, 50, 18), 10.0)]
        table_path = os.path.join(folder, "peaks.txt")
        with open(table_path, "w") as handle:
            handle.write("region\tx\ty\tz\tradius\n")
            for name, (x, y, z), radius in peaks:
                handle.write(f"{name}\t{x}\t{y}\t{z}\t{radius}\n")
        for space in ("mni", "tal"):
            for path in (images[0][0], images[1][0]):
                out = os.path.join(folder, f"peaks_{space}.tsv")
                run = subprocess.run([arguments.glomera_voi, "extract", "--peaks", table_path,
                                      "--space", space, path, "--stats", "-o", out, "-q"],
                                     capture_output=True, text=True)
                if run.returncode != 0:
                    fail(f"extract --peaks --space {space} exited {run.returncode}: {run.stderr}")
                    continue
                compare(f"{path} (peaks in {space})", read_table(out)[1],
                        sphere_rows(path, peaks, space == "mni"))
    checked = "every number agreed" if not failures else f"{len(failures)} disagreements"
    print(f"extract_check: {len(images)} images, {len(vois)} VOIs: {checked}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
