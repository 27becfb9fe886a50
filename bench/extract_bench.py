#!/usr/bin/python3
"""Times `glomera-voi extract` against the floors of reading its input, side by side in one run.

On a 4D series of 2 mm MNI cells (91 x 109 x 91 x 200, int16 with a slope, smooth values and
noise as a BOLD series has) and 50 spheres of 6 mm:
  - extract from the .nii.gz against `gzip -dc IMAGE > /dev/null` (every byte inflated);
  - extract from the .nii against `cat IMAGE > /dev/null` (every byte read);
  - two such .nii.gz images with -j 2 against -j 1 (the speed-up).
Each round runs every command once, in an order shuffled per round, after one untimed warm-up
of each (the page cache holds the files). Prints each ratio's median, lowest and highest over
the rounds. The machine may be shared: ratios mean something only within one run.

  bench/extract_bench.py GLOMERA_VOI HELMORA_ZT [ROUNDS]
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


def timed(command, stdout=subprocess.DEVNULL):
    start = time.perf_counter()
    subprocess.run(command, shell=isinstance(command, str), check=True, stdout=stdout,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    glomera_voi, host = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
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

        commands = {
            "extract .nii.gz": extract(series[0], "-j", "1"),
            "gzip -dc": f"gzip -dc {series[0]} > /dev/null",
            "extract .nii": extract(plain, "-j", "1"),
            "cat": f"cat {plain} > /dev/null",
            "two images -j 1": extract(*series, "-j", "1"),
            "two images -j 2": extract(*series, "-j", "2"),
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
                 "close to 2")):
            ratios = [a / b for a, b in zip(times[top], times[bottom])]
            print(f"  {label:<32} {statistics.median(ratios):5.2f}  "
                  f"({min(ratios):.2f} to {max(ratios):.2f}; target {target})")


if __name__ == "__main__":
    main()
