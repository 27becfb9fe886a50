"""Glomera from Python: tables of peaks as pasted from papers, spheres and .voi files, what lies
at a point, cleaned time series from images as numpy arrays, a spheres masker shaped like
nilearn's, and the interactive page inline in Jupyter.

Every function runs the same C++ libraries as the ``glomera-voi`` command, with the same
options and the same results; errors carry the command line's messages (``FileError``, both an
``OSError`` and a ``ValueError``, names the file in ``filename``; other refusals are
``ValueError``). See docs/python.md.
"""
import html as _html
import os as _os
import tempfile as _tempfile

import numpy as _np

from . import _glomera
from ._glomera import (FileError, Line, Peak, Sphere, Table, __version__, connectivity,
                       parse_table, where)

__all__ = ["FileError", "Line", "Peak", "Sphere", "SpheresMasker", "Table", "View",
           "connectivity", "extract", "parse_table", "read_table", "read_voi", "spheres",
           "to_dataframe", "view", "where", "write_voi", "__version__"]


def _call(name, *args, **keywords):
    """The call as Python shows it, for the provenance of what it writes: every argument
    given, keyword arguments left at None left out."""
    shown = [repr(_os.fspath(a) if isinstance(a, _os.PathLike) else a) for a in args]
    shown += [f"{key}={value!r}" for key, value in keywords.items() if value is not None]
    return f"glomera.{name}({', '.join(shown)})"


def _path(value):
    return None if value is None else _os.fspath(value)


def read_table(path, space=None, radius=None, mni_to_tal="spm"):
    return _glomera.read_table(_os.fspath(path), space, radius, mni_to_tal)


read_table.__doc__ = _glomera.read_table.__doc__


def spheres(source, radius=None, space=None, names=None):
    if isinstance(source, _os.PathLike):
        source = _os.fspath(source)
    return _glomera.spheres(source, radius, space, names)


spheres.__doc__ = _glomera.spheres.__doc__


def to_dataframe(table, what="peaks"):
    """A pandas DataFrame of a Table: its peaks (``what="peaks"``: voi, name, space, the
    centre as written, TAL and MNI, radius, colour, line) or the account of its lines
    (``what="lines"``: number, fate, account, voi). Needs pandas."""
    import pandas
    if what == "lines":
        return pandas.DataFrame(
            [{"number": l.number, "fate": l.fate, "account": l.account, "voi": l.voi}
             for l in table.lines])
    if what != "peaks":
        raise ValueError(f"what={what!r}: give 'peaks' or 'lines'")
    rows = []
    for p in table.peaks:
        rows.append({"voi": p.voi, "name": p.name, "space": p.space,
                     "x": p.centre[0], "y": p.centre[1], "z": p.centre[2],
                     "tal_x": p.tal[0], "tal_y": p.tal[1], "tal_z": p.tal[2],
                     "mni_x": p.mni[0], "mni_y": p.mni[1], "mni_z": p.mni[2],
                     "radius": p.radius, "r": p.colour[0], "g": p.colour[1], "b": p.colour[2],
                     "line": p.line})
    return pandas.DataFrame(rows, columns=["voi", "name", "space", "x", "y", "z", "tal_x",
                                           "tal_y", "tal_z", "mni_x", "mni_y", "mni_z",
                                           "radius", "r", "g", "b", "line"])


Table.to_dataframe = to_dataframe


def write_voi(table, path, *, space=None, radius=None, nifti=None, grid=None, png=None,
              report=None, report_json=None, html=None, anatomy=True, atlases=None,
              mni_to_tal="spm"):
    """Writes the .voi file the plug-in makes of a table (a Table or a table's file): one
    sphere per peak in TAL, by the plug-in's own sphere code. Asked for, also the outputs
    ``glomera-voi outputs`` makes of it: a label volume (``nifti``, on ``grid``'s grid or a
    1 mm TAL grid), a picture (``png``), reports (``report``, ``report_json``) and the page
    (``html``); what they record as having made them is this call. Returns ``path``."""
    path = _os.fspath(path)
    source = table if isinstance(table, Table) else _os.fspath(table)
    _glomera.write_voi(source, path, space=space, radius=radius)
    outputs = dict(nifti=_path(nifti), grid=_path(grid), png=_path(png), report=_path(report),
                   report_json=_path(report_json), html=_path(html))
    if any(value for value in outputs.values()):
        call = _call("write_voi", table if isinstance(table, Table) else source, path,
                     space=space, radius=radius, atlases=atlases, **outputs)
        _glomera._outputs(path, **{k: v or "" for k, v in outputs.items()}, anatomy=anatomy,
                          atlases=atlases, mni_to_tal=mni_to_tal, call=call)
    return path


def read_voi(path, *, anatomy=False, atlases=None, mni_to_tal="spm"):
    """What a .voi file holds, as ``glomera-voi report --json`` tells it (a dict: the file,
    its header, each VOI with its colour, voxels, centre in TAL and MNI, and, with
    ``anatomy``, where it lies in the atlases)."""
    path = _os.fspath(path)
    return _glomera._report_json(path, anatomy=anatomy, atlases=atlases, mni_to_tal=mni_to_tal,
                                 call=_call("read_voi", path, atlases=atlases))


def _progress_of(progress, images):
    """A callable (done, total), or None: True asks for a tqdm bar when tqdm is installed."""
    if progress is True:
        try:
            from tqdm.auto import tqdm
        except ImportError:
            return None, None
        bar = tqdm(total=images, unit="image", desc="extract")
        return (lambda done, total: bar.update(done - bar.n)), bar
    return (progress or None), None


def _confounds_files(confounds, count, folder):
    """Per image, the confounds table's path: paths as given; an array (volumes by
    confounds) written as a table whose columns are all regressed out."""
    if confounds is None:
        return [], None
    if isinstance(confounds, (str, _os.PathLike)) or _np.ndim(confounds) == 2 and count == 1 \
            and not isinstance(confounds, (list, tuple)):
        confounds = [confounds]
    files, columns = [], None
    for n, table in enumerate(confounds):
        if isinstance(table, (str, _os.PathLike)):
            files.append(_os.fspath(table))
            continue
        values = _np.asarray(table, dtype=float)
        if values.ndim == 1:
            values = values[:, None]
        names = [f"confound_{c + 1}" for c in range(values.shape[1])]
        path = _os.path.join(folder, f"confounds_{n + 1}.tsv")
        with open(path, "w", encoding="utf-8") as out:
            out.write("\t".join(names) + "\n")
            for row in values:
                out.write("\t".join("n/a" if not _np.isfinite(v) else repr(float(v))
                                    for v in row) + "\n")
        files.append(path)
        columns = ["confound_*"]
    return files, columns


def extract(vois, images, *, confounds=None, confound_columns=None, summary="mean", mask=None,
            mask_threshold=0.0, drop_volumes=0, detrend=False, high_pass=None, low_pass=None,
            t_r=None, censor=None, fd_threshold=None, standardize=None, grid_space=None,
            mni_to_tal="spm", jobs=1, progress=None, output=None, out_dir=None, space=None,
            radius=None, return_names=False):
    """Each VOI's time series in each image, cleaned as asked, as ``glomera-voi extract``
    makes it: a numpy array of volumes by VOIs (NaN where a VOI has no value), one per image
    (a list when ``images`` is a list).

    vois: a .voi file (a path ending in .voi); a table of peaks (a Table, or a table's file),
    each peak a sphere made in the image's own millimetres as ``--peaks`` makes it; a list
    of Sphere; or points (N x 3, in ``space``, default TAL) with ``radius``.
    The cleaning takes the command's options by their names: ``confounds`` (a table per
    image, or for one image an array of volumes by confounds, all of them regressed out),
    ``confound_columns`` ("trans_*,rot_*,csf" or a list), ``summary`` ('mean', 'median',
    'eig1'), ``mask``, ``mask_threshold``, ``drop_volumes``, ``detrend``, ``high_pass``,
    ``low_pass``, ``t_r``, ``censor``, ``fd_threshold``, ``standardize`` ('zscore', 'psc').
    ``jobs`` images are worked on side by side, without the GIL. ``progress``: a callable
    (done, total) told after each image, or True for a tqdm bar when tqdm is installed.
    ``output`` (one image) or ``out_dir`` also write the tables the command writes.
    With ``return_names``, returns (names, arrays)."""
    one = isinstance(images, (str, _os.PathLike))
    paths = [_os.fspath(images)] if one else [_os.fspath(i) for i in images]
    if output is not None and len(paths) > 1:
        raise ValueError(f"{len(paths)} images have a time series each: give out_dir for one "
                         "file per image")
    if isinstance(vois, _os.PathLike):
        vois = _os.fspath(vois)
    tell, bar = _progress_of(progress, len(paths))
    with _tempfile.TemporaryDirectory(prefix="glomera-confounds-") as folder:
        files, columns = _confounds_files(confounds, len(paths), folder)
        if columns and confound_columns is None:
            confound_columns = columns
        try:
            names, arrays, _ = _glomera._extract(
                vois, paths, files, confound_columns, summary, _path(mask) or "",
                float(mask_threshold), int(drop_volumes), bool(detrend), high_pass, low_pass,
                t_r, censor or "", fd_threshold, standardize or "", grid_space, mni_to_tal,
                int(jobs), tell, _path(output) or "", _path(out_dir) or "", space, radius)
        finally:
            if bar is not None:
                bar.close()
    result = arrays[0] if one else arrays
    return (names, result) if return_names else result


def _standardize_word(standardize):
    if standardize in (False, None):
        return None
    if standardize in (True, "zscore", "zscore_sample"):
        return "zscore"
    if standardize == "psc":
        return "psc"
    raise ValueError(f"standardize={standardize!r}: give False, True, 'zscore' or 'psc'")


class SpheresMasker:
    """Signals of spheres around seeds, cleaned, in the shape nilearn's maskers use: an array
    of time points by regions. Seeds are (x, y, z) in the image's own millimetres, as
    nilearn's are, unless ``space`` ('tal' or 'mni') says which space they are in: then each
    is taken into the image's space through ``mni_to_tal``. ``radius`` in mm (None: the one
    cell nearest to each seed). The cleaning is glomera-voi extract's: ``detrend``,
    ``high_pass``, ``low_pass`` (Hz), ``t_r`` (s), ``confounds`` (per transform, or here for
    every image), ``standardize`` (True or 'zscore': z-scores with the sample standard
    deviation, n - 1; 'psc'), ``mask`` (an image; cells not above ``mask_threshold`` left
    out)."""

    def __init__(self, seeds, radius=None, space=None, mask=None, confounds=None,
                 confound_columns=None, detrend=False, high_pass=None, low_pass=None, t_r=None,
                 standardize=False, mask_threshold=0.0, summary="mean", grid_space=None,
                 mni_to_tal="spm"):
        self.seeds = seeds
        self.radius = radius
        self.space = space
        self.mask = mask
        self.confounds = confounds
        self.confound_columns = confound_columns
        self.detrend = detrend
        self.high_pass = high_pass
        self.low_pass = low_pass
        self.t_r = t_r
        self.standardize = standardize
        self.mask_threshold = mask_threshold
        self.summary = summary
        self.grid_space = grid_space
        self.mni_to_tal = mni_to_tal

    def _spheres(self, image):
        space = self.space
        if space is None:
            space = _glomera._image_grid(image, self.grid_space, self.mni_to_tal)[2]
        radius = 0.0 if self.radius is None else float(self.radius)
        return spheres(_np.asarray(self.seeds, dtype=float).reshape(-1, 3), radius=radius,
                       space=space)

    def fit(self, imgs=None, y=None):
        """Checks the seeds and keeps the grid of the first image given, for
        inverse_transform. Returns the masker."""
        points = _np.asarray(self.seeds, dtype=float)
        if points.size == 0 or points.size % 3:
            raise ValueError("seeds: give (x, y, z) points")
        self.seeds_ = points.reshape(-1, 3)
        if imgs is not None:
            first = _image_paths(imgs)[0]
            self.reference_ = first
        return self

    def transform(self, imgs, confounds=None):
        """Each sphere's signal in each volume, cleaned: an array of time points by regions
        (a list of them for a list of images)."""
        if not hasattr(self, "seeds_"):
            self.fit()
        paths = _image_paths(imgs)
        if not hasattr(self, "reference_"):
            self.reference_ = paths[0]
        confounds = self.confounds if confounds is None else confounds
        results = []
        for n, path in enumerate(paths):
            table = None
            if confounds is not None:
                table = confounds[n] if isinstance(confounds, list) and len(paths) > 1 \
                    else confounds
            results.append(extract(
                self._spheres(path), path, confounds=table,
                confound_columns=self.confound_columns, summary=self.summary,
                mask=self.mask, mask_threshold=self.mask_threshold, detrend=self.detrend,
                high_pass=self.high_pass, low_pass=self.low_pass, t_r=self.t_r,
                standardize=_standardize_word(self.standardize), grid_space=self.grid_space,
                mni_to_tal=self.mni_to_tal))
        return results[0] if isinstance(imgs, (str, _os.PathLike)) or \
            not isinstance(imgs, (list, tuple)) else results

    def fit_transform(self, imgs, y=None, confounds=None):
        """fit, then transform."""
        return self.fit(imgs).transform(imgs, confounds=confounds)

    def inverse_transform(self, region_signals):
        """An image on the fitted image's grid with each sphere's cells set to its signal
        (time points by regions; one row gives a 3D image). A nibabel image when nibabel is
        installed, else the numpy array (i, j, k[, t])."""
        if not hasattr(self, "reference_"):
            raise ValueError("inverse_transform needs the grid of an image: fit or transform "
                             "one first")
        signals = _np.atleast_2d(_np.asarray(region_signals, dtype=float))
        dims, affine, _ = _glomera._image_grid(self.reference_, self.grid_space, self.mni_to_tal)
        cells = _glomera._cells(self._spheres(self.reference_), self.reference_,
                                self.grid_space, self.mni_to_tal)
        if signals.shape[1] != len(cells):
            raise ValueError(f"region_signals: {signals.shape[1]} regions for "
                             f"{len(cells)} spheres")
        volume = _np.zeros((int(_np.prod(dims)), signals.shape[0]))
        for region, indices in enumerate(cells):
            volume[indices, :] = signals[:, region]
        data = volume.reshape(tuple(dims) + (signals.shape[0],), order="F")
        if signals.shape[0] == 1:
            data = data[..., 0]
        try:
            import nibabel
        except ImportError:
            return data
        return nibabel.Nifti1Image(data, affine)


def _image_paths(imgs):
    """Image paths of paths or nibabel images; a nibabel image without a file is saved to a
    temporary file kept for the session."""
    if isinstance(imgs, (str, _os.PathLike)) or not isinstance(imgs, (list, tuple)):
        imgs = [imgs]
    paths = []
    for img in imgs:
        if isinstance(img, (str, _os.PathLike)):
            paths.append(_os.fspath(img))
            continue
        filename = img.get_filename() if hasattr(img, "get_filename") else None
        if filename:
            paths.append(filename)
            continue
        import nibabel
        handle, path = _tempfile.mkstemp(prefix="glomera-image-", suffix=".nii")
        _os.close(handle)
        nibabel.save(img, path)
        paths.append(path)
    return paths


class View:
    """The interactive page of VOIs: shown inline in Jupyter (the page in an iframe of its
    own, its security policy kept), saved with save(path)."""

    def __init__(self, page, height=640):
        self.page = page
        self.height = height

    def _repr_html_(self):
        text = self.page.decode("utf-8", errors="replace")
        return (f'<iframe srcdoc="{_html.escape(text, quote=True)}" '
                f'sandbox="allow-scripts allow-downloads" '
                f'style="width: 100%; height: {int(self.height)}px; border: 0"></iframe>')

    def save(self, path):
        """Writes the page to ``path``: one file that opens in any browser, from disk."""
        with open(_os.fspath(path), "wb") as out:
            out.write(self.page)
        return _os.fspath(path)


def view(vois, *, anatomy=True, atlases=None, radiological=False, mni_to_tal="spm",
         height=640):
    """The interactive page of a .voi file, or of a table's spheres (a Table or a table's
    file, made into the plug-in's .voi file first), as ``glomera-voi view`` makes it: the
    VOIs over the MNI template in a viewer, their list with centres and regions beside it.
    The page records this call as what made it."""
    call = _call("view", vois, atlases=atlases)
    if isinstance(vois, (str, _os.PathLike)) and _os.fspath(vois).endswith(".voi"):
        page = _glomera._page(_os.fspath(vois), anatomy=anatomy, atlases=atlases,
                              radiological=radiological, mni_to_tal=mni_to_tal, call=call)
        return View(page, height)
    # The .voi file made here is gone once the page is made: the page is named after the
    # table the spheres came from.
    source = vois.source if isinstance(vois, Table) else _os.fspath(vois)
    title = "Spheres of a pasted table" if source == "<text>" else "Spheres of " + source
    with _tempfile.TemporaryDirectory(prefix="glomera-view-") as folder:
        path = _os.path.join(folder, "spheres.voi")
        _glomera.write_voi(vois if isinstance(vois, Table) else _os.fspath(vois), path)
        page = _glomera._page(path, anatomy=anatomy, atlases=atlases,
                              radiological=radiological, mni_to_tal=mni_to_tal, call=call,
                              title=title)
    return View(page, height)
