"""Extraction: the module's arrays against the command's tables on the same inputs, the
masker against a reference worked out here with numpy, and errors that name their file."""
import html

import numpy as np
import pytest

import glomera
from conftest import read_series, write_confounds, write_series

CLEANING = [
    ([], {}),
    (["--detrend", "--standardize", "zscore"], {"detrend": True, "standardize": "zscore"}),
    (["--confound-columns", "trans_*,csf", "--high-pass", "0.01", "--low-pass", "0.1",
      "--t-r", "2", "--standardize", "psc", "--drop-volumes", "2"],
     {"confound_columns": "trans_*,csf", "high_pass": 0.01, "low_pass": 0.1, "t_r": 2,
      "standardize": "psc", "drop_volumes": 2}),
    (["--confound-columns", "rot_x", "--fd-threshold", "0.25", "--summary", "median",
      "--detrend"],
     {"confound_columns": ["rot_x"], "fd_threshold": 0.25, "summary": "median",
      "detrend": True}),
    (["--summary", "eig1", "--low-pass", "0.08"], {"summary": "eig1", "low_pass": 0.08}),
]


@pytest.mark.parametrize("options,keywords", CLEANING)
def test_peaks_extracted_as_the_command_does(glomera_voi, tmp_path, peaks_file, series_image,
                                             confounds_file, options, keywords):
    image = series_image[0]
    confounds = ["--confounds", confounds_file[0]] if "confound_columns" in keywords else []
    out = tmp_path / "series.tsv"
    glomera_voi("extract", "--peaks", peaks_file, "--space", "mni", "--radius", "8", image,
                *confounds, *options, "-o", out, "-q")
    names, expected = read_series(out)
    got_names, got = glomera.extract(
        str(peaks_file), image, space="mni", radius=8,
        confounds=confounds_file[0] if confounds else None, return_names=True, **keywords)
    assert got_names == names
    assert got.shape == expected.shape
    assert np.array_equal(got, expected, equal_nan=True)
    # The same spheres given as a Table, and as the table's spheres.
    table = glomera.read_table(peaks_file, space="mni", radius=8)
    more = dict(keywords, confounds=confounds_file[0] if confounds else None)
    assert np.array_equal(glomera.extract(table, image, **more), expected, equal_nan=True)
    assert np.array_equal(glomera.extract(glomera.spheres(table), image, **more), expected,
                          equal_nan=True)


def test_voi_file_with_a_mask_as_the_command_does(glomera_voi, tmp_path, peaks_file,
                                                  series_image):
    import nibabel
    image, data, affine = series_image
    voi = glomera.write_voi(glomera.read_table(peaks_file, space="mni"), tmp_path / "s.voi")
    mask = tmp_path / "mask.nii.gz"
    keep = (np.mean(np.nan_to_num(data), axis=3) > 100).astype(np.float32)
    mask_image = nibabel.Nifti1Image(keep, affine)
    mask_image.header.set_sform(affine, code=4)
    nibabel.save(mask_image, str(mask))
    out = tmp_path / "series.tsv"
    glomera_voi("extract", voi, image, "--mask", mask, "--mask-threshold", "0.5", "--detrend",
                "-o", out, "-q")
    _, expected = read_series(out)
    got = glomera.extract(voi, image, mask=mask, mask_threshold=0.5, detrend=True)
    assert np.array_equal(got, expected, equal_nan=True)


def test_many_images_side_by_side(glomera_voi, tmp_path, peaks_file):
    images = []
    for n in range(3):
        path = tmp_path / f"run-{n + 1}_bold.nii.gz"
        write_series(path, volumes=20 + n, seed=n)
        images.append(path)
    told = []
    arrays = glomera.extract(str(peaks_file), images, space="mni", detrend=True, jobs=2,
                             progress=lambda done, total: told.append((done, total)),
                             out_dir=tmp_path / "out")
    assert [a.shape for a in arrays] == [(20, 3), (21, 3), (22, 3)]
    assert sorted(told) == [(1, 3), (2, 3), (3, 3)]
    for path, array in zip(images, arrays):
        name = path.name.replace(".nii.gz", "_voi_timeseries.tsv")
        assert np.array_equal(read_series(tmp_path / "out" / name)[1], array, equal_nan=True)
    with pytest.raises(ValueError):
        glomera.extract(str(peaks_file), images, space="mni", output=tmp_path / "x.tsv")


def test_progress_callback_errors_reach_the_caller(peaks_file, series_image):
    def fail(done, total):
        raise KeyError("stop")
    with pytest.raises(KeyError):
        glomera.extract(str(peaks_file), series_image[0], space="mni", progress=fail)


def test_connectivity_as_the_command_writes_it(glomera_voi, tmp_path, peaks_file,
                                               series_image):
    out = tmp_path / "series.tsv"
    glomera_voi("extract", "--peaks", peaks_file, "--space", "mni", series_image[0],
                "--detrend", "--connectivity", "partial", "--fisher-z", "-o", out, "-q")
    matrix_lines = (tmp_path / "series_connectivity.tsv").read_text().splitlines()
    expected = np.array([[np.nan if c == "n/a" else float(c) for c in line.split("\t")[1:]]
                         for line in matrix_lines[1:]])
    names, series = glomera.extract(str(peaks_file), series_image[0], space="mni",
                                    detrend=True, return_names=True)
    got = glomera.connectivity(series, kind="partial", fisher_z=True, names=names)
    assert np.array_equal(got, expected, equal_nan=True)


def reference_series(data, affine, seeds, radius, confounds, t):
    """Each sphere's mean over the cells whose centre lies within the radius, its linear
    trend taken away, the confounds' fit (with an intercept) taken away, as z-scores with the
    sample standard deviation."""
    i, j, k = np.meshgrid(*[np.arange(n) for n in data.shape[:3]], indexing="ij")
    centres = np.stack([i, j, k, np.ones_like(i)], axis=-1) @ affine.T
    trend = np.column_stack([np.ones(t), np.arange(t)])

    def detrended(values):
        return values - trend @ np.linalg.lstsq(trend, values, rcond=None)[0]

    design = np.column_stack([np.ones(t), detrended(confounds)])
    columns = []
    for seed in seeds:
        inside = np.linalg.norm(centres[..., :3] - seed, axis=-1) <= radius
        cells = data[inside]
        cells = cells[np.all(np.isfinite(cells), axis=1)]
        series = detrended(cells.mean(axis=0))
        series = series - design @ np.linalg.lstsq(design, series, rcond=None)[0]
        columns.append((series - series.mean()) / series.std(ddof=1))
    return np.column_stack(columns)


def test_masker_matches_numpy(tmp_path):
    path = tmp_path / "bold.nii.gz"
    # A grid rotated a little, so that its millimetres are not its indices scaled.
    angle = np.deg2rad(10)
    affine = np.array([[3 * np.cos(angle), -3 * np.sin(angle), 0, -50],
                       [3 * np.sin(angle), 3 * np.cos(angle), 0, -80],
                       [0, 0, 3.5, -40], [0, 0, 0, 1]])
    data, affine = write_series(path, volumes=40, seed=3, affine=affine)
    confounds = write_confounds(tmp_path / "c.tsv", volumes=40)
    moves = np.column_stack([confounds["trans_x"], confounds["csf"]])
    seeds = [(-20.0, 10.0, 4.0), (24.0, -30.0, 12.0), (0.5, 0.5, 0.5)]
    masker = glomera.SpheresMasker(seeds, radius=7.5, detrend=True, standardize=True)
    got = masker.fit_transform(str(path), confounds=moves)
    expected = reference_series(data, affine, np.array(seeds), 7.5, moves, 40)
    assert got.shape == (40, 3)
    np.testing.assert_allclose(got, expected, rtol=1e-9, atol=1e-9)
    # A nibabel image in memory gives the same.
    import nibabel
    again = glomera.SpheresMasker(seeds, radius=7.5, detrend=True, standardize=True)
    in_memory = nibabel.Nifti1Image(np.asarray(nibabel.load(str(path)).dataobj), None,
                                    nibabel.load(str(path)).header)
    assert np.array_equal(again.fit_transform(in_memory, confounds=moves), got)

    # The signals back on the grid: each sphere's cells hold its signal.
    back = masker.inverse_transform(got)
    values = np.asarray(back.dataobj)
    assert values.shape == data.shape[:3] + (40,)
    i, j, k = np.meshgrid(*[np.arange(n) for n in data.shape[:3]], indexing="ij")
    centres = np.stack([i, j, k, np.ones_like(i)], axis=-1) @ affine.T
    inside = np.linalg.norm(centres[..., :3] - np.array(seeds[1]), axis=-1) <= 7.5
    assert np.array_equal(values[inside], np.tile(got[:, 1], (inside.sum(), 1)))
    assert np.count_nonzero(np.any(values != 0, axis=3)) == sum(
        (np.linalg.norm(centres[..., :3] - np.array(s), axis=-1) <= 7.5).sum() for s in seeds)


def test_masker_seeds_in_another_space(tmp_path, series_image):
    # MNI seeds on an MNI image are the image's own millimetres: space='mni' changes nothing,
    # space='tal' takes them through the transform.
    path = series_image[0]
    seeds = [(-30, 16, 4), (32, 18, 2)]
    own = glomera.SpheresMasker(seeds, radius=8).fit_transform(str(path))
    assert np.array_equal(glomera.SpheresMasker(seeds, radius=8, space="mni").fit_transform(
        str(path)), own)
    assert not np.array_equal(glomera.SpheresMasker(seeds, radius=8, space="tal").fit_transform(
        str(path)), own)


def test_errors_name_their_file(tmp_path, peaks_file, series_image, glomera_voi):
    missing = tmp_path / "missing.nii.gz"
    with pytest.raises(glomera.FileError) as raised:
        glomera.extract(str(peaks_file), missing, space="mni")
    assert raised.value.filename == str(missing)
    assert isinstance(raised.value, OSError) and isinstance(raised.value, ValueError)
    done = glomera_voi("extract", "--peaks", peaks_file, "--space", "mni", missing, check=False)
    assert str(raised.value) in done.stderr

    with pytest.raises(glomera.FileError) as raised:
        glomera.read_table(tmp_path / "nothing.txt")
    assert raised.value.filename == str(tmp_path / "nothing.txt")
    done = glomera_voi("import", tmp_path / "nothing.txt", check=False)
    assert done.returncode == 1 and str(raised.value) in done.stderr

    binary = tmp_path / "binary.txt"
    binary.write_bytes(bytes(range(256)) * 4)
    with pytest.raises(glomera.FileError) as raised:
        glomera.read_table(binary)
    assert raised.value.filename == str(binary)

    bad = tmp_path / "bad.tsv"
    bad.write_text("a\tb\n1\t2\n")
    with pytest.raises(glomera.FileError) as raised:
        glomera.extract(str(peaks_file), series_image[0], space="mni", confounds=bad,
                        confound_columns="csf")
    assert raised.value.filename == str(bad)

    with pytest.raises(ValueError):
        glomera.extract(str(peaks_file), series_image[0], space="mni", high_pass=0.6, t_r=2)
    with pytest.raises(ValueError):
        glomera.extract(str(peaks_file), series_image[0], summary="largest")


def test_page_inline_and_saved(tmp_path, peaks_file):
    table = glomera.read_table(peaks_file, space="mni")
    page = glomera.view(table, anatomy=False)
    shown = page._repr_html_()
    assert shown.startswith('<iframe srcdoc="') and shown.endswith("></iframe>")
    attribute = shown[len('<iframe srcdoc="'):shown.index('" sandbox=')]
    # Escaped whole: no quote ends the attribute early, and it reads back as the page.
    assert '"' not in attribute and "<" not in attribute
    assert html.unescape(attribute) == page.page.decode("utf-8")
    # Named after the table, not the .voi file made for it and gone since.
    title = "<title>Spheres of " + html.escape(str(peaks_file))
    assert title in page.page.decode("utf-8") and "glomera-view-" not in page.page.decode("utf-8")
    pasted = glomera.view(glomera.parse_table("-22 -6 -18 a\n"), anatomy=False).page
    assert b"<title>Spheres of a pasted table" in pasted
    saved = page.save(tmp_path / "page.html")
    assert open(saved, "rb").read() == page.page
    voi = glomera.write_voi(table, tmp_path / "s.voi")
    of_file = glomera.view(voi, anatomy=False).page.decode("utf-8")
    assert html.escape(str(voi)) in of_file
    for peak in table.peaks:
        assert peak.name in of_file and peak.name in page.page.decode("utf-8")


def test_masker_without_radius_takes_the_nearest_cell(tmp_path):
    path = tmp_path / "bold.nii.gz"
    data, affine = write_series(path, volumes=12)
    seeds = [(-29.0, 17.0, 5.0), (10.2, -40.7, 21.1)]
    got = glomera.SpheresMasker(seeds).fit_transform(str(path))
    for column, seed in enumerate(seeds):
        i, j, k = np.round(np.linalg.solve(affine, [*seed, 1])[:3]).astype(int)
        assert np.array_equal(got[:, column], data[i, j, k, :])
