#!/usr/bin/python3
"""Times `glomera-voi extract` against the floors of reading its input, side by side in one run.

On a 4D series of 2 mm MNI cells (91 x 109 x 91 x 200, int16 with a slope, smooth values and
noise as a BOLD series has) and 50 spheres of 6 mm:
  - extract from the .nii.gz against `gzip -dc IMAGE > /dev/null` (every byte inflated);
  - extract from the .nii against `cat IMAGE > /dev/null` (every byte read);
  - two such .nii.gz images with -j 2 against -j 1 (the speed-up);
  - the time series of both images cleaned (six confounds, the band 0.01 to 0.1 Hz, z-scores)
    against the same extraction plain.
Then, once: the first eigenvariate of 100 spheres of 10 mm from a series of 1,000 volumes on
the same grid, -j 1, its peak resident size against the mean series' of the same run (and
against 512 MB).
Each round runs every command once, in an order shuffled per round, after one untimed warm-up
of each (the page cache holds the files). Prints each ratio's median, lowest and highest over
the rounds. The machine may be shared: ratios mean something only within one run.

  bench/extract_bench.py GLOMERA_VOI HELMORA_ZT [ROUNDS] [--no-eig1]
"""
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

import nibabel as nib
import numpy as np


def make_series(path, seed):
    rng = np.random.default_rng(seed)
    shape = (91, 109, 91)
    i, j, k = np.meshgrid(*[np.linspace(-1, 1, n) for n in shape], indexing="ij")
    brain = (i * i + j * j * 0.8 + k * k < 0.8) * 800.0 + 100.0 * np.cos(4 * i) * np.sin(3 * j)
    volumes = np.empty(shape + (200,), dtype=np.int16)
    for t in range(200):
        volumes[..., t] = np.round(brain + rng.normal(0, 20, shape) + 10 * np.sin(t / 7.0))
    affine = np.diag([-2.0, 2.0, 2.0, 1.0])
    affine[:3, 3] = [90, -126, -72]
    image = nib.Nifti1Image(volumes, affine)
    image.set_sform(affine, code=4)
    image.set_qform(affine, code=4)
    image.set_data_dtype(np.int16)
    image.header.set_slope_inter(0.5, 0.0)
    image.to_filename(path)


def write_confounds(path, volumes, seed):
    """An fMRIPrep-style table: six motion parameters, csf, framewise displacement."""
    rng = np.random.default_rng(seed)
    names = ["trans_x", "trans_y", "trans_z", "rot_x", "rot_y", "rot_z"]
    motion = np.cumsum(rng.normal(0, 0.02, (volumes, 6)), axis=0)
    fd = np.abs(np.diff(motion, axis=0)).sum(axis=1)
    with open(path, "w") as handle:
        handle.write("\t".join(names + ["csf", "framewise_displacement"]) + "\n")
        for t in range(volumes):
            cells = [f"{v:.6g}" for v in motion[t]] + [f"{500 + rng.normal(0, 3):.6g}",
                                                        "n/a" if t == 0 else f"{fd[t - 1]:.6g}"]
            handle.write("\t".join(cells) + "\n")


def make_long_series(path, volumes):
    """A 91 x 109 x 91 int16 series of many volumes, written volume by volume (.nii)."""
    rng = np.random.default_rng(3)
    shape = (91, 109, 91)
    i, j, k = np.meshgrid(*[np.linspace(-1, 1, n) for n in shape], indexing="ij")
    brain = ((i * i + j * j * 0.8 + k * k < 0.8) * 800.0 + 100.0 * np.cos(4 * i) * np.sin(3 * j))
    affine = np.diag([-2.0, 2.0, 2.0, 1.0])
    affine[:3, 3] = [90, -126, -72]
    header = nib.Nifti1Header()
    header.set_data_shape(shape + (volumes,))
    header.set_data_dtype(np.int16)
    header.set_sform(affine, code=4)
    header.set_qform(affine, code=4)
    header.set_zooms((2.0, 2.0, 2.0, 2.0))
    header.set_xyzt_units("mm", "sec")
    with open(path, "wb") as handle:
        header.write_to(handle)
        handle.write(b"\0" * (int(header["vox_offset"]) - handle.tell()))
        for t in range(volumes):
            noise = rng.standard_normal(shape, dtype=np.float32) * 20
            volume = np.round(brain + noise + 10 * np.sin(t / 7.0)).astype("<i2")
            handle.write(volume.tobytes(order="F"))


def peak_resident_mb(command):
    """Runs the command under GNU time and gives its peak resident size in MB and its seconds.
    (The peak wait4 reports of a child forked from this process would count this process's
    own pages, held before the exec.)"""
    with tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        run = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                             stderr=errors)
        seconds = time.perf_counter() - start
        errors.seek(0)
        text = errors.read().decode(errors="replace")
    if run.returncode != 0:
        raise SystemExit(f"{' '.join(command)} exited {run.returncode}: {text}")
    return int(text.strip().splitlines()[-1]) / 1024, seconds


def timed(command, stdout=subprocess.DEVNULL):
    start = time.perf_counter()
    subprocess.run(command, shell=isinstance(command, str), check=True, stdout=stdout,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    arguments = [a for a in sys.argv[1:] if a != "--no-eig1"]
    glomera_voi, host = arguments[0], arguments[1]
    rounds = int(arguments[2]) if len(arguments) > 2 else 5
    with tempfile.TemporaryDirectory() as work:
        listing = os.path.join(work, "spheres.txt")
        rng = random.Random(7)
        with open(listing, "w") as handle:
            for n in range(50):
                handle.write(f"{rng.uniform(-55, 55):.1f} {rng.uniform(-90, 55):.1f} "
                             f"{rng.uniform(-30, 65):.1f} 6 S{n} 255 0 0\n")
        voi = os.path.join(work, "spheres.voi")
        subprocess.run([host, "--quiet", "--raw-list", listing, "-o", voi], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        series = [os.path.join(work, f"bold{n}.nii.gz") for n in range(2)]
        print("making two 91 x 109 x 91 x 200 int16 series ...", flush=True)
        for n, path in enumerate(series):
            make_series(path, n)
        plain = os.path.join(work, "bold0.nii")
        subprocess.run(f"gzip -dc {series[0]} > {plain}", shell=True, check=True)
        print(f"  {os.path.getsize(series[0]) / 1e6:.0f} MB compressed, "
              f"{os.path.getsize(plain) / 1e6:.0f} MB plain", flush=True)

        def extract(*arguments):
            return [glomera_voi, "extract", voi, *arguments, "--stats", "-q", "-o", "/dev/null"]

        tables = [os.path.join(work, f"bold{n}_confounds.tsv") for n in range(2)]
        for n, table in enumerate(tables):
            write_confounds(table, 200, n)
        plain_dir, clean_dir = os.path.join(work, "plain"), os.path.join(work, "clean")
        os.mkdir(plain_dir)
        os.mkdir(clean_dir)
        series_plain = [glomera_voi, "extract", voi, *series, "-j", "1", "-q", "--out-dir",
                        plain_dir]
        series_clean = [glomera_voi, "extract", voi, *series, "-j", "1", "-q", "--out-dir",
                        clean_dir, "--confounds", tables[0], "--confounds", tables[1],
                        "--confound-columns", "trans_*,rot_*", "--high-pass", "0.01",
                        "--low-pass", "0.1", "--t-r", "2", "--standardize", "zscore"]

        commands = {
            "extract .nii.gz": extract(series[0], "-j", "1"),
            "gzip -dc": f"gzip -dc {series[0]} > /dev/null",
            "extract .nii": extract(plain, "-j", "1"),
            "cat": f"cat {plain} > /dev/null",
            "two images -j 1": extract(*series, "-j", "1"),
            "two images -j 2": extract(*series, "-j", "2"),
            "series, plain": series_plain,
            "series, cleaned": series_clean,
        }
        for command in commands.values():
            timed(command)
        times = {name: [] for name in commands}
        for _ in range(rounds):
            order = list(commands)
            random.shuffle(order)
            for name in order:
                times[name].append(timed(commands[name]))
        print(f"\nseconds over {rounds} rounds (median; lowest to highest):")
        for name, values in times.items():
            print(f"  {name:<18} {statistics.median(values):6.3f}  "
                  f"({min(values):.3f} to {max(values):.3f})")
        print("\nratios, round by round (median; lowest to highest):")
        for label, top, bottom, target in (
                ("extract .nii.gz / gzip -dc", "extract .nii.gz", "gzip -dc", "at most 1.2"),
                ("extract .nii / cat", "extract .nii", "cat", "at most 2"),
                ("speed-up of -j 2 on two images", "two images -j 1", "two images -j 2",
                 "close to 2"),
                ("cleaned / plain series", "series, cleaned", "series, plain",
                 "at most 1.15")):
            ratios = [a / b for a, b in zip(times[top], times[bottom])]
            print(f"  {label:<32} {statistics.median(ratios):5.2f}  "
                  f"({min(ratios):.2f} to {max(ratios):.2f}; target {target})")

        if "--no-eig1" in sys.argv:
            return
        os.remove(plain)
        long_series = os.path.join(work, "long.nii")
        print("\nmaking a 91 x 109 x 91 x 1000 int16 series ...", flush=True)
        make_long_series(long_series, 1000)
        peaks = os.path.join(work, "peaks100.tsv")
        with open(peaks, "w") as handle:
            handle.write("region\tx\ty\tz\tradius\n")
            for n in range(100):
                handle.write(f"P{n}\t{rng.uniform(-60, 60):.1f}\t{rng.uniform(-95, 60):.1f}\t"
                             f"{rng.uniform(-35, 70):.1f}\t10\n")

        def spheres(summary):
            return [glomera_voi, "extract", "--peaks", peaks, "--space", "mni", long_series,
                    "--summary", summary, "-j", "1", "-q", "-o", os.path.join(work, "s.tsv")]

        mean_mb, mean_s = peak_resident_mb(spheres("mean"))
        eig_mb, eig_s = peak_resident_mb(spheres("eig1"))
        print("100 spheres of 10 mm, 1000 volumes, -j 1 (peak resident size, seconds):")
        print(f"  --summary mean  {mean_mb:7.0f} MB  {mean_s:6.1f} s")
        print(f"  --summary eig1  {eig_mb:7.0f} MB  {eig_s:6.1f} s   "
              f"({eig_mb / mean_mb:.1f} x the mean's memory, {eig_s / mean_s:.1f} x its time; "
              f"target under 512 MB: {'yes' if eig_mb < 512 else 'NO'})")


if __name__ == "__main__":
    main()
