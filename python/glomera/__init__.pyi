"""Types of the module glomera, for editors and type checkers."""
import os
from typing import Any, Callable, List, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

PathLike = Union[str, "os.PathLike[str]"]
Point = Tuple[float, float, float]
Points = Union[Sequence[Sequence[float]], npt.ArrayLike]
Progress = Union[None, bool, Callable[[int, int], Any]]

class FileError(OSError, ValueError):
    filename: str

class Peak:
    voi: int
    name: str
    space: str
    centre: Point
    tal: Point
    mni: Point
    radius: float
    colour: Tuple[int, int, int]
    line: int

class Line:
    number: int
    fate: str
    account: str
    voi: Optional[int]

class Table:
    source: str
    peaks: List[Peak]
    lines: List[Line]
    encoding: str
    layout: str
    choice: str
    notes: List[str]
    warnings: List[str]
    list: str
    summary: str
    unread_rows: str
    vois: int
    dropped: int
    complete: bool
    def __len__(self) -> int: ...
    def to_dataframe(self, what: str = ...) -> Any: ...

class Sphere:
    centre: Point
    space: str
    radius: float
    name: str
    def __init__(self, centre: Point, space: str = ..., radius: float = ...,
                 name: str = ...) -> None: ...

Vois = Union[PathLike, Table, List[Sphere], Points]

def read_table(path: PathLike, space: Optional[str] = ..., radius: Optional[float] = ...,
               mni_to_tal: str = ...) -> Table: ...
def parse_table(text: Union[str, bytes], space: Optional[str] = ...,
                radius: Optional[float] = ..., mni_to_tal: str = ...) -> Table: ...
def to_dataframe(table: Table, what: str = ...) -> Any: ...
def spheres(source: Union[PathLike, Table, List[Sphere], Points], radius: Optional[float] = ...,
            space: Optional[str] = ..., names: Optional[Sequence[str]] = ...) -> List[Sphere]: ...
def write_voi(table: Union[Table, PathLike], path: PathLike, *, space: Optional[str] = ...,
              radius: Optional[float] = ..., nifti: Optional[PathLike] = ...,
              grid: Optional[PathLike] = ..., png: Optional[PathLike] = ...,
              report: Optional[PathLike] = ..., report_json: Optional[PathLike] = ...,
              html: Optional[PathLike] = ..., anatomy: bool = ...,
              atlases: Optional[Sequence[str]] = ..., mni_to_tal: str = ...) -> str: ...
def read_voi(path: PathLike, *, anatomy: bool = ..., atlases: Optional[Sequence[str]] = ...,
             mni_to_tal: str = ...) -> dict: ...
def where(points: Union[str, Point, Sequence[Union[str, Point]]], space: str = ...,
          atlases: Optional[Sequence[str]] = ..., brain: str = ...,
          mni_to_tal: str = ...) -> dict: ...
def connectivity(series: npt.ArrayLike, kind: str = ..., fisher_z: bool = ...,
                 names: Optional[Sequence[str]] = ...) -> np.ndarray: ...
def extract(vois: Vois, images: Union[PathLike, Sequence[PathLike]], *,
            confounds: Any = ..., confound_columns: Union[None, str, Sequence[str]] = ...,
            summary: str = ..., mask: Optional[PathLike] = ..., mask_threshold: float = ...,
            drop_volumes: int = ..., detrend: bool = ..., high_pass: Optional[float] = ...,
            low_pass: Optional[float] = ..., t_r: Optional[float] = ...,
            censor: Optional[str] = ..., fd_threshold: Optional[float] = ...,
            standardize: Optional[str] = ..., grid_space: Optional[str] = ...,
            mni_to_tal: str = ..., jobs: int = ..., progress: Progress = ...,
            output: Optional[PathLike] = ..., out_dir: Optional[PathLike] = ...,
            space: Optional[str] = ..., radius: Optional[float] = ...,
            return_names: bool = ...) -> Any: ...

class SpheresMasker:
    seeds_: np.ndarray
    def __init__(self, seeds: Points, radius: Optional[float] = ..., space: Optional[str] = ...,
                 mask: Optional[PathLike] = ..., confounds: Any = ...,
                 confound_columns: Union[None, str, Sequence[str]] = ...,
                 detrend: bool = ..., high_pass: Optional[float] = ...,
                 low_pass: Optional[float] = ..., t_r: Optional[float] = ...,
                 standardize: Union[bool, str] = ..., mask_threshold: float = ...,
                 summary: str = ..., grid_space: Optional[str] = ...,
                 mni_to_tal: str = ...) -> None: ...
    def fit(self, imgs: Any = ..., y: Any = ...) -> "SpheresMasker": ...
    def transform(self, imgs: Any, confounds: Any = ...) -> Any: ...
    def fit_transform(self, imgs: Any, y: Any = ..., confounds: Any = ...) -> Any: ...
    def inverse_transform(self, region_signals: npt.ArrayLike) -> Any: ...

class View:
    page: bytes
    height: int
    def __init__(self, page: bytes, height: int = ...) -> None: ...
    def _repr_html_(self) -> str: ...
    def save(self, path: PathLike) -> str: ...

def view(vois: Union[PathLike, Table], *, anatomy: bool = ...,
         atlases: Optional[Sequence[str]] = ..., radiological: bool = ...,
         mni_to_tal: str = ..., height: int = ...) -> View: ...
