"""What the module's tests share: the command they compare the module with, the bundled
examples, and small images made for each test."""
import os
import pathlib
import subprocess

import numpy as np
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def glomera_voi():
    """Runs the glomera-voi built beside the module; returns the finished process."""
    program = os.environ.get("GLOMERA_VOI", str(ROOT / "build" / "bin" / "glomera-voi"))

    def run(*arguments, check=True):
        done = subprocess.run([program, *map(str, arguments)], capture_output=True, text=True)
        if check and done.returncode not in (0, 3):
            raise AssertionError(f"glomera-voi {' '.join(map(str, arguments))}: "
                                 f"status {done.returncode}\n{done.stderr}")
        return done
    return run


@pytest.fixture(scope="session")
def examples():
    return ROOT / "examples"


# A small table of MNI peaks near the middle of the brain, in a layout as pasted.
PEAKS = """Region\tx\ty\tz\tT
Left insula\t-30\t16\t4\t5.2
Right insula\t32\t18\t2\t4.9
Cingulate\t2\t20\t30\t6.1
Too far\t400\t0\t0\t3.0
"""


@pytest.fixture
def peaks_file(tmp_path):
    path = tmp_path / "peaks.txt"
    path.write_text(PEAKS)
    return path


def write_series(path, volumes=48, seed=5, affine=None):
    """A 4D image in MNI (sform code 4) of 4 mm cells with noise, trends, a slow wave and a
    few NaN cells, its repetition time 2 s; returns the data and the affine."""
    import nibabel
    rng = np.random.default_rng(seed)
    if affine is None:
        affine = np.array([[4.0, 0, 0, -62], [0, 4, 0, -90], [0, 0, 4, -50], [0, 0, 0, 1]])
    shape = (32, 40, 30, volumes)
    t = np.arange(volumes)
    data = rng.normal(100, 5, shape)
    data += 0.3 * t + 4 * np.sin(2 * np.pi * 0.03 * 2 * t)
    data[3, 4, 5, :] = np.nan
    image = nibabel.Nifti1Image(data.astype(np.float32), affine)
    image.header.set_sform(affine, code=4)
    image.header.set_qform(affine, code=4)
    image.header.set_xyzt_units("mm", "sec")
    image.header["pixdim"][4] = 2.0
    nibabel.save(image, str(path))
    return np.asarray(image.dataobj, dtype=np.float64), affine


def write_confounds(path, volumes=48, seed=9):
    """A confounds table as fMRIPrep writes it: two motion columns, a CSF signal and the
    framewise displacement (n/a in its first row)."""
    rng = np.random.default_rng(seed)
    columns = {"trans_x": rng.normal(0, 0.1, volumes), "rot_x": rng.normal(0, 0.01, volumes),
               "csf": rng.normal(0, 1, volumes), "framewise_displacement": rng.uniform(0, 0.3, volumes)}
    lines = ["\t".join(columns)]
    for row in range(volumes):
        cells = [repr(float(values[row])) for values in columns.values()]
        if row == 0:
            cells[-1] = "n/a"
        lines.append("\t".join(cells))
    path.write_text("\n".join(lines) + "\n")
    return {name: values for name, values in columns.items()}


@pytest.fixture
def series_image(tmp_path):
    path = tmp_path / "sub-01_bold.nii.gz"
    data, affine = write_series(path)
    return path, data, affine


@pytest.fixture
def confounds_file(tmp_path):
    path = tmp_path / "sub-01_confounds.tsv"
    return path, write_confounds(path)


def read_series(path):
    """A time-series table as the command writes it: names and values (n/a as NaN)."""
    lines = pathlib.Path(path).read_text().splitlines()
    names = lines[0].split("\t")
    values = [[np.nan if cell == "n/a" else float(cell) for cell in line.split("\t")]
              for line in lines[1:]]
    return names, np.array(values)
