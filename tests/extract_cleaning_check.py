#!/usr/bin/python3
"""Checks the time series `glomera-voi extract` cleans, summarises and correlates against an
independent computation with numpy and scipy (Debian's python3-numpy and python3-scipy).

A small synthetic 4D MNI image (2 mm cells, a repetition time of 2 s in the header and in a
BIDS sidecar) carries in each voxel a trend, a mix of confounds, tones and noise, beside an
fMRIPrep-style confounds table (n/a in the first row of derivatives and of
framewise_displacement, a motion outlier column). Spheres come from a table of MNI peaks, so
their cells are those whose centre lies within the radius, worked out here alone.

Checked, each against its own computation here:
  - detrending and the confound fit (an intercept always in) to a relative 1e-6;
  - z-scores and percent signal change to print precision;
  - the band filters against scipy.signal.butter(5, ..., output="sos") and sosfiltfilt, and
    by their response: tones at most half or at least twice a cut-off kept within 5 % in the
    band, cut to at most 10 % outside it;
  - the whole chain with dropped and censored volumes;
  - median and eig1 summaries (eig1 against numpy's SVD);
  - correlation, partial correlation and Fisher z against numpy.corrcoef of the series
    written;
  - a grey-matter map on another grid as a mask, with its counts before and after.
Prints each largest difference; exits 0 when all agree, 1 naming each disagreement."""
import argparse
import fnmatch
import json
import math
import os
import subprocess
import sys
import tempfile

import nibabel as nib
import numpy as np
from scipy import signal

TR = 2.0
VOLUMES = 150
PEAKS = [("A", (-10, -10, 0), 6.0), ("B", (10, 10, 10), 8.0), ("C", (0, 20, -10), 6.0),
         ("D", (14, -20, -16), 4.0)]
MOTION = ["trans_x", "trans_y", "trans_z", "rot_x", "rot_y", "rot_z"]

failures = []


def fail(message):
    failures.append(message)
    print(f"extract_cleaning_check: {message}", file=sys.stderr)


def affine_2mm():
    affine = np.diag([-2.0, 2.0, 2.0, 1.0])
    affine[:3, 3] = [30, -36, -30]
    return affine


def save(data, affine, path, tr=TR, dtype=np.float32):
    image = nib.Nifti1Image(data.astype(dtype), affine)
    image.set_sform(affine, code=4)
    image.set_qform(affine, code=4)
    image.header.set_xyzt_units("mm", "sec")
    if data.ndim == 4:
        image.header.set_zooms(tuple(abs(affine[a, a]) for a in range(3)) + (tr,))
    image.to_filename(path)


def sphere_cells(shape, affine, centre, radius):
    i, j, k = np.meshgrid(*[np.arange(s) for s in shape], indexing="ij")
    ijk1 = np.stack([i.ravel(order="F"), j.ravel(order="F"), k.ravel(order="F"),
                     np.ones(i.size)])
    mm = (affine @ ijk1)[:3].T
    return np.nonzero(((mm - np.array(centre)) ** 2).sum(axis=1) <= radius * radius)[0]


def make_confounds(rng, volumes):
    columns = {}
    for name in MOTION:
        columns[name] = np.cumsum(rng.normal(0, 0.05, volumes))
    columns["csf"] = 500 + 20 * np.sin(np.arange(volumes) / 9.0) + rng.normal(0, 2, volumes)
    columns["white_matter"] = 700 + 0.3 * np.arange(volumes) + rng.normal(0, 3, volumes)
    columns["global_signal"] = 900 + rng.normal(0, 5, volumes)
    derivative = np.diff(columns["trans_x"], prepend=np.nan)
    columns["trans_x_derivative1"] = derivative
    motion = np.column_stack([columns[n] for n in MOTION])
    fd = np.abs(np.diff(motion, axis=0)).sum(axis=1) * 3
    columns["framewise_displacement"] = np.concatenate([[np.nan], fd])
    outlier = np.zeros(volumes)
    outlier[40] = 1
    columns["motion_outlier00"] = outlier
    return columns


def write_confounds(columns, path):
    names = list(columns)
    with open(path, "w") as handle:
        handle.write("\t".join(names) + "\n")
        for t in range(len(columns[names[0]])):
            cells = []
            for name in names:
                value = columns[name][t]
                cells.append("n/a" if np.isnan(value) else repr(float(value)))
            handle.write("\t".join(cells) + "\n")


def make_bold(folder, rng):
    shape = (31, 36, 30)
    affine = affine_2mm()
    confounds = make_confounds(rng, VOLUMES)
    t = np.arange(VOLUMES)
    base = 800 + 200 * rng.random(shape)
    data = np.empty(shape + (VOLUMES,))
    mix = [confounds[n] - confounds[n].mean() for n in MOTION + ["csf", "white_matter"]]
    weights = rng.normal(0, 1, shape + (len(mix),))
    common = np.sin(2 * math.pi * 0.03 * t * TR)
    for v in range(VOLUMES):
        data[..., v] = (base + 0.4 * t[v] + 8 * common[v] * (base / 900) +
                        (weights * np.array([m[v] for m in mix]) * [20] * len(mix)).sum(axis=3) +
                        rng.normal(0, 3, shape))
    path = os.path.join(folder, "sub-01_task-rest_bold.nii.gz")
    save(data, affine, path)
    with open(os.path.join(folder, "sub-01_task-rest_bold.json"), "w") as handle:
        json.dump({"RepetitionTime": TR, "TaskName": "rest"}, handle)
    table = os.path.join(folder, "sub-01_task-rest_desc-confounds_timeseries.tsv")
    write_confounds(confounds, table)
    image = nib.load(path)
    values = np.asarray(image.get_fdata(dtype=np.float64))
    cells = [sphere_cells(shape, affine, c, r) for _, c, r in PEAKS]
    voxels = [values.reshape(-1, VOLUMES, order="F")[c].T for c in cells]  # volumes x cells
    return path, table, confounds, voxels


def read_series(path):
    with open(path) as handle:
        header = handle.readline().rstrip("\n").split("\t")
        rows = [[math.nan if c == "n/a" else float(c) for c in line.rstrip("\n").split("\t")]
                for line in handle]
    return header, np.array(rows, dtype=float)


def read_matrix(path):
    with open(path) as handle:
        header = handle.readline().rstrip("\n").split("\t")
        names, rows = [], []
        for line in handle:
            cells = line.rstrip("\n").split("\t")
            names.append(cells[0])
            rows.append([math.nan if c == "n/a" else float(c) for c in cells[1:]])
    return header[1:], names, np.array(rows, dtype=float)


def extract(tool, arguments, folder):
    run = subprocess.run([tool, "extract"] + arguments, capture_output=True, text=True,
                         cwd=folder)
    if run.returncode != 0:
        fail(f"extract {' '.join(arguments)} exited {run.returncode}: {run.stderr}")
    return run


def relative_difference(got, wanted):
    """The largest difference over the largest magnitude of the wanted values, n/a where
    both are; infinite where one is n/a and the other not."""
    if got.shape != wanted.shape:
        return math.inf
    if not np.array_equal(np.isnan(got), np.isnan(wanted)):
        return math.inf
    finite = ~np.isnan(wanted)
    if not finite.any():
        return 0.0
    scale = np.abs(wanted[finite]).max()
    return float(np.abs(got[finite] - wanted[finite]).max() / (scale if scale > 0 else 1))


def agree(what, got, wanted, tolerance):
    difference = relative_difference(got, wanted)
    print(f"  {what:<58} {difference:9.2e}  (at most {tolerance:g})")
    if not difference <= tolerance:
        fail(f"{what}: relative difference {difference:.3g} above {tolerance:g}")


def matched(confounds, patterns):
    """The columns the comma-separated patterns match, by fnmatch, each once in order."""
    names = []
    for pattern in patterns.split(","):
        names += [n for n in confounds if fnmatch.fnmatchcase(n, pattern) and n not in names]
    return names


def reference_clean(raw, confounds, drop=0, detrend=False, high=None, low=None, columns=(),
                    censor=None, fd=None, standardize=None, tr=TR):
    """The cleaning as described, with numpy and scipy, of `raw` (volumes x VOIs)."""
    x = raw[drop:].copy()
    n = x.shape[0]
    kept = np.ones(n, dtype=bool)
    if censor:
        kept &= confounds[censor][drop:] != 1
    if fd is not None:
        kept &= ~(confounds["framewise_displacement"][drop:] > fd)
    c = np.column_stack([confounds[name][drop:] for name in columns]) if columns else \
        np.zeros((n, 0))
    for k in range(c.shape[1]):
        column = c[:, k]
        column[np.isnan(column)] = np.nanmean(column)
    baseline = x[kept].mean(axis=0)
    if detrend:
        x = signal.detrend(x, axis=0, type="linear")
        if c.shape[1]:
            c = signal.detrend(c, axis=0, type="linear")
    if high or low:
        if high and low:
            sos = signal.butter(5, [high, low], btype="bandpass", fs=1 / tr, output="sos")
        elif high:
            sos = signal.butter(5, high, btype="highpass", fs=1 / tr, output="sos")
        else:
            sos = signal.butter(5, low, btype="lowpass", fs=1 / tr, output="sos")
        x = signal.sosfiltfilt(sos, x, axis=0)
        if c.shape[1]:
            c = signal.sosfiltfilt(sos, c, axis=0)
    if columns:
        design = np.column_stack([np.ones(n), c])
        beta = np.linalg.lstsq(design[kept], x[kept], rcond=None)[0]
        x = x - design @ beta
    x[~kept] = np.nan
    if standardize == "zscore":
        x = (x - np.nanmean(x, axis=0)) / np.nanstd(x, axis=0, ddof=1)
    elif standardize == "psc":
        x = 100 * (x - np.nanmean(x, axis=0)) / baseline
    return x


def eigenvariate(y):
    """SVD of the centred data (volumes x cells): u1 s1 / sqrt(cells), signed to go with the
    mean series."""
    centred = y - y.mean(axis=0)
    u, s, _ = np.linalg.svd(centred, full_matrices=False)
    series = u[:, 0] * s[0] / math.sqrt(y.shape[1])
    if np.corrcoef(series, y.mean(axis=1))[0, 1] < 0:
        series = -series
    return series


def partial(r):
    p = np.linalg.inv(r)
    d = np.sqrt(np.diag(p))
    out = -p / np.outer(d, d)
    np.fill_diagonal(out, 1.0)
    return out


def tone_response(tool, folder, peaks_table):
    """Each sphere carries one tone; the filters keep or cut it by its frequency."""
    shape = (31, 36, 30)
    affine = affine_2mm()
    volumes = 300
    tones = [0.005, 0.02, 0.05, 0.2]  # Hz; the Nyquist frequency is 0.25
    t = np.arange(volumes) * TR
    data = np.full(shape + (volumes,), 1000.0)
    flat = data.reshape(-1, volumes, order="F")
    for (_, centre, radius), frequency in zip(PEAKS, tones):
        cells = sphere_cells(shape, affine, centre, radius)
        flat[cells] += 10 * np.sin(2 * math.pi * frequency * t + 0.3)
    data = flat.reshape(shape + (volumes,), order="F")
    path = os.path.join(folder, "tones.nii.gz")
    save(data, affine, path, dtype=np.float64)
    middle = slice(volumes // 5, volumes - volumes // 5)

    def amplitude(series, frequency):
        design = np.column_stack([np.sin(2 * math.pi * frequency * t[middle]),
                                  np.cos(2 * math.pi * frequency * t[middle]),
                                  np.ones(t[middle].size)])
        beta = np.linalg.lstsq(design, series[middle], rcond=None)[0]
        return math.hypot(beta[0], beta[1]) / 10

    for option, cut, keep in (("--low-pass", 0.1, lambda f: f <= 0.05),
                              ("--high-pass", 0.01, lambda f: f >= 0.02)):
        out = os.path.join(folder, f"tones{option}.tsv")
        extract(tool, ["--peaks", peaks_table, "--space", "mni", path, option, str(cut),
                       "-o", out, "-q"], folder)
        if not os.path.exists(out):
            continue
        _, got = read_series(out)
        for v, frequency in enumerate(tones):
            kept = amplitude(got[:, v], frequency)
            if keep(frequency):
                ok = abs(kept - 1) <= 0.05
                rule = "kept within 5 %"
            else:
                ok = kept <= 0.10
                rule = "cut to at most 10 %"
            print(f"  {option} {cut} Hz, tone {frequency} Hz: amplitude x {kept:.4f} ({rule})")
            if not ok:
                fail(f"{option} {cut} Hz: a tone of {frequency} Hz comes out x {kept:.4f}, "
                     f"not {rule}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--glomera-voi", required=True)
    tool = parser.parse_args().glomera_voi
    rng = np.random.default_rng(31)
    with tempfile.TemporaryDirectory() as folder:
        path, table, confounds, voxels = make_bold(folder, rng)
        peaks_table = os.path.join(folder, "peaks.tsv")
        with open(peaks_table, "w") as handle:
            handle.write("region\tx\ty\tz\tradius\n")
            for name, (x, y, z), radius in PEAKS:
                handle.write(f"{name}\t{x}\t{y}\t{z}\t{radius}\n")
        means = np.column_stack([v.mean(axis=1) for v in voxels])
        common = ["--peaks", peaks_table, "--space", "mni", path]

        def run(name, arguments):
            out = os.path.join(folder, name + ".tsv")
            extract(tool, common + arguments + ["-o", out, "-q"], folder)
            return read_series(out)[1] if os.path.exists(out) else np.zeros((0, 0))

        print("agreement with numpy and scipy (largest difference over largest value):")
        agree("mean series, no cleaning", run("plain", []), means, 1e-12)
        motion = "trans_*,rot_*,csf,white_matter"
        agree("detrend and confounds trans_*,rot_*,csf,white_matter",
              run("regressed", ["--detrend", "--confounds", table, "--confound-columns", motion]),
              reference_clean(means, confounds, detrend=True, columns=matched(confounds, motion)),
              1e-6)
        agree("confounds alone (the intercept fitted too)",
              run("intercept", ["--confounds", table, "--confound-columns", "csf"]),
              reference_clean(means, confounds, columns=["csf"]), 1e-6)
        for label, arguments, high, low in (
                ("band 0.01 to 0.08 Hz", ["--high-pass", "0.01", "--low-pass", "0.08"], 0.01,
                 0.08),
                ("high-pass 0.01 Hz", ["--high-pass", "0.01"], 0.01, None),
                ("low-pass 0.1 Hz", ["--low-pass", "0.1"], None, 0.1)):
            agree(f"{label} against scipy's sosfiltfilt", run("filter", arguments),
                  reference_clean(means, confounds, high=high, low=low), 1e-9)
        agree("z-scores, to print precision", run("zscore", ["--standardize", "zscore"]),
              reference_clean(means, confounds, standardize="zscore"), 1e-13)
        agree("percent signal change, to print precision",
              run("psc", ["--standardize", "psc"]),
              reference_clean(means, confounds, standardize="psc"), 1e-13)
        # Framewise displacement above its 95th percentile censored, with the outlier column.
        fd = repr(float(np.nanpercentile(confounds["framewise_displacement"], 95)))
        whole = ["--drop-volumes", "2", "--detrend", "--high-pass", "0.01", "--low-pass", "0.1",
                 "--confounds", table, "--confound-columns", motion + ",trans_x_derivative1",
                 "--censor", "motion_outlier00", "--fd-threshold", fd, "--standardize",
                 "zscore"]
        wanted = reference_clean(means, confounds, drop=2, detrend=True, high=0.01, low=0.1,
                                 columns=matched(confounds, motion + ",trans_x_derivative1"),
                                 censor="motion_outlier00", fd=float(fd), standardize="zscore")
        censored = int(np.isnan(wanted[:, 0]).sum())
        got = run("whole", whole + ["--connectivity", "partial", "--fisher-z"])
        agree(f"the whole chain ({censored} of {VOLUMES - 2} volumes censored)", got, wanted,
              1e-6)
        if censored < 2:
            fail(f"the censoring case censors only {censored} volumes")
        matrix_path = os.path.join(folder, "whole_connectivity.tsv")
        if os.path.exists(matrix_path):
            _, _, matrix = read_matrix(matrix_path)
            rows = ~np.isnan(got).any(axis=1)
            z = partial(np.corrcoef(got[rows].T))
            np.fill_diagonal(z, np.nan)
            z = np.arctanh(z)
            agree("partial correlation, Fisher z, of the series written", matrix, z, 1e-10)
        else:
            fail("no whole_connectivity.tsv beside whole.tsv")
        got = run("correlation", ["--detrend", "--connectivity", "correlation"])
        _, _, matrix = read_matrix(os.path.join(folder, "correlation_connectivity.tsv"))
        agree("correlation against numpy.corrcoef of the series written", matrix,
              np.corrcoef(got.T), 1e-12)
        agree("median summary", run("median", ["--summary", "median"]),
              np.column_stack([np.median(v, axis=1) for v in voxels]), 1e-12)
        agree("eig1 against numpy's SVD", run("eig1", ["--summary", "eig1"]),
              np.column_stack([eigenvariate(v) for v in voxels]), 1e-6)
        agree("eig1 then cleaned", run("eig1clean", ["--summary", "eig1", "--detrend",
                                                      "--low-pass", "0.1"]),
              reference_clean(np.column_stack([eigenvariate(v) for v in voxels]), confounds,
                              detrend=True, low=0.1), 1e-6)

        # A probability map on a 3 mm grid as the mask, its cells pulled by the nearest cell.
        mask_affine = np.diag([3.0, 3.0, 3.0, 1.0])
        mask_affine[:3, 3] = [-33, -42, -33]
        probability = rng.random((23, 27, 23))
        mask_path = os.path.join(folder, "gm_probseg.nii.gz")
        save(probability, mask_affine, mask_path)
        shape = nib.load(path).shape[:3]
        i, j, k = np.meshgrid(*[np.arange(s) for s in shape], indexing="ij")
        ijk1 = np.stack([i.ravel(order="F"), j.ravel(order="F"), k.ravel(order="F"),
                         np.ones(i.size)])
        at = np.floor((np.linalg.inv(mask_affine) @ affine_2mm() @ ijk1)[:3] + 0.5).astype(int)
        on = np.all((at >= 0) & (at < np.array(probability.shape)[:, None]), axis=0)
        inside = np.zeros(i.size, dtype=bool)
        inside[on] = probability[at[0, on], at[1, on], at[2, on]] > 0.5
        masked_means, counts = [], []
        for _, centre, radius in PEAKS:
            cells = sphere_cells(shape, affine_2mm(), centre, radius)
            keep = cells[inside[cells]]
            counts.append((len(keep), len(cells)))
            flat = np.asarray(nib.load(path).get_fdata()).reshape(-1, VOLUMES, order="F")
            masked_means.append(flat[keep].mean(axis=0))
        agree("mean series within a 3 mm probability map above 0.5",
              run("masked", ["--mask", mask_path, "--mask-threshold", "0.5"]),
              np.column_stack(masked_means), 1e-12)
        report = extract(tool, common + ["--mask", mask_path, "--mask-threshold", "0.5",
                                         "--json"], folder)
        if report.returncode == 0:
            vois = json.loads(report.stdout)["images"][0]["vois"]
            got_counts = [(v["cells"], v["cells_before_mask"]) for v in vois]
            print(f"  mask counts (after, before): {got_counts}")
            if got_counts != counts:
                fail(f"mask counts {got_counts}, wanted {counts}")

        print("filters by their response (tones at most half or at least twice a cut-off):")
        tone_response(tool, folder, peaks_table)
    if failures:
        print(f"{len(failures)} disagreements", file=sys.stderr)
        return 1
    print("all agree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
