"""Tables of peaks, spheres, .voi files and where: the module against the command."""
import json
import pathlib

import pytest

import glomera
from conftest import PEAKS


def command_account(stderr):
    """The account of each line that import prints: (number, account)."""
    account = []
    for line in stderr.splitlines():
        if line.startswith("line ") and ": " in line:
            number, text = line[5:].split(": ", 1)
            account.append((int(number), text))
    return account


@pytest.mark.parametrize("space", [None, "mni", "tal"])
def test_table_as_import_reads_it(glomera_voi, examples, space):
    table_file = examples / "mni_table.txt"
    options = ["--space", space] if space else []
    done = glomera_voi("import", table_file, *options)
    table = glomera.read_table(table_file, space=space)
    assert table.list == done.stdout
    assert [(line.number, line.account) for line in table.lines] == command_account(done.stderr)
    assert f"{table.summary} ({table.layout}, {table.encoding})" in done.stderr
    # The dropped peak is in the account, and no exception was raised for it.
    assert table.dropped == sum(1 for line in table.lines if line.fate == "dropped") > 0
    assert not table.complete
    assert len(table.peaks) == table.vois == len(done.stdout.splitlines())


def test_pasted_text_reads_as_the_file(tmp_path, peaks_file):
    from_file = glomera.read_table(peaks_file, space="mni")
    pasted = glomera.parse_table(PEAKS, space="mni")
    assert pasted.list == from_file.list
    assert [l.account for l in pasted.lines] == [l.account for l in from_file.lines]
    assert pasted.source == "<text>" and from_file.source == str(peaks_file)
    assert glomera.parse_table(PEAKS.encode("utf-16"), space="mni").list == from_file.list


def test_peaks_carry_both_spaces(glomera_voi, peaks_file):
    table = glomera.read_table(peaks_file, space="mni", radius=8)
    # Names as the plug-in's list keeps them, blanks made underscores.
    assert [p.name for p in table.peaks] == ["Left_insula", "Right_insula", "Cingulate"]
    first = table.peaks[0]
    assert first.space == "mni" and first.centre == (-30.0, 16.0, 4.0)
    assert first.mni == pytest.approx(first.centre, abs=1e-9)
    # The TAL centre is the one the list gives the plug-in.
    listed = [float(v) for v in table.list.splitlines()[0].split()[:3]]
    assert first.tal == pytest.approx(listed, abs=0.051)
    assert {p.radius for p in table.peaks} == {8.0}
    assert [table.lines[p.line - 1].voi for p in table.peaks] == [1, 2, 3]
    dropped = [l for l in table.lines if l.fate == "dropped"]
    assert len(dropped) == 1 and dropped[0].number == 5 and dropped[0].voi is None


def test_dataframes(peaks_file):
    pandas = pytest.importorskip("pandas")
    table = glomera.read_table(peaks_file, space="mni")
    peaks = table.to_dataframe()
    assert isinstance(peaks, pandas.DataFrame)
    assert list(peaks["name"]) == [p.name for p in table.peaks]
    assert list(peaks["mni_x"]) == [p.mni[0] for p in table.peaks]
    lines = glomera.to_dataframe(table, "lines")
    assert list(lines["fate"]) == [l.fate for l in table.lines]
    with pytest.raises(ValueError):
        glomera.to_dataframe(table, "cells")


def test_space_that_contradicts_the_table(tmp_path):
    path = tmp_path / "tal.txt"
    path.write_text("// Reference=Talairach\n10 20 30\n")
    with pytest.raises(ValueError) as raised:
        glomera.read_table(path, space="mni")
    assert not isinstance(raised.value, OSError)
    assert str(path) in str(raised.value)


def test_spheres_of_tables_and_points(peaks_file):
    table = glomera.read_table(peaks_file, space="mni")
    made = glomera.spheres(table, radius=5)
    assert [(s.centre, s.space, s.radius, s.name) for s in made] == \
        [(p.centre, "mni", 5.0, p.name) for p in table.peaks]
    assert [s.name for s in glomera.spheres(str(peaks_file), space="mni")] == \
        [p.name for p in table.peaks]
    points = glomera.spheres([[1, 2, 3], [4, 5, 6]], space="mni", names=["a", "b"])
    assert [(s.centre, s.space, s.radius, s.name) for s in points] == \
        [((1.0, 2.0, 3.0), "mni", 6.0, "a"), ((4.0, 5.0, 6.0), "mni", 6.0, "b")]
    with pytest.raises(ValueError):
        glomera.spheres([[1, 2, 3]], names=["a", "b"])
    with pytest.raises(ValueError):
        glomera.spheres([[1, 2, 3]], space="scanner")


def test_voi_file_as_the_review_makes_it(glomera_voi, tmp_path, peaks_file):
    # The plug-in's spheres of the table: the command's info of the file tells the same VOIs.
    path = glomera.write_voi(glomera.read_table(peaks_file, space="mni"), tmp_path / "s.voi")
    info = glomera_voi("info", path).stdout
    for name in ("Left_insula", "Right_insula", "Cingulate"):
        assert name in info
    report = glomera.read_voi(path)
    command = json.loads(glomera_voi("report", path, "-", "--json", "--no-atlas").stdout)
    assert report["vois"] == command["vois"]
    assert [v["name"] for v in report["vois"]] == ["Left_insula", "Right_insula", "Cingulate"]


def test_the_record_beside_the_voi_says_what_it_was_made_from(glomera_voi, tmp_path, peaks_file):
    # As the host stand-in writes it: the space the centres were written in, the table with
    # its checksum, each sphere; the toolbox believes it and speaks of MNI input.
    voi = tmp_path / "s.voi"
    glomera.write_voi(glomera.read_table(peaks_file, space="mni"), voi)
    record = json.loads((tmp_path / "s.voi.json").read_text())
    assert record["input_space"] == "mni" and record["transform"] == "spm"
    assert record["source_table"]["path"] == str(peaks_file)
    assert [s["name"] for s in record["spheres"]] == ["Left_insula", "Right_insula", "Cingulate"]
    report = glomera_voi("report", voi, "-", "--no-atlas").stdout
    assert "input space of the VOIs: MNI (converted to TAL with spm)" in report
    # A table given as text has no file to name.
    glomera.write_voi(glomera.parse_table("Insula -38 18 2\n", space="mni"), voi)
    assert json.loads((tmp_path / "s.voi.json").read_text())["source_table"] is None


def test_outputs_record_the_python_call(tmp_path, peaks_file):
    voi = tmp_path / "s.voi"
    text = tmp_path / "s.txt"
    glomera.write_voi(str(peaks_file), voi, space="mni", report=text, anatomy=False)
    report = text.read_text()
    assert f"command: glomera.write_voi({str(peaks_file)!r}, {str(voi)!r}, space='mni', " \
           f"report={str(text)!r})" in report
    # Not the interpreter's command line that ran the tests.
    assert "-m pytest" not in report and "python3 " not in report


@pytest.mark.parametrize("space", ["tal", "mni"])
def test_where_as_the_command_tells_it(glomera_voi, space):
    points = ["21,-13,8", "-40,20,-10"]
    command = json.loads(glomera_voi("where", *points, "--space", space, "--json").stdout)
    assert glomera.where(points, space=space) == command
    # Numbers give the same as their text.
    assert glomera.where([[21, -13, 8], [-40, 20, -10]], space=space)["points"] == \
        command["points"]
    assert glomera.where((21, -13, 8), space=space)["points"] == command["points"][:1]
    # A point no head reaches is refused with the command's words.
    far = glomera_voi("where", "0,0,301", "--space", space, check=False)
    assert far.returncode == 2
    with pytest.raises(ValueError) as refused:
        glomera.where("0,0,301", space=space)
    assert str(refused.value) in far.stderr


def test_every_name_documented_and_typed():
    stub = (pathlib.Path(glomera.__file__).with_name("__init__.pyi")).read_text()
    for name in glomera.__all__:
        if name == "__version__":
            continue
        assert getattr(glomera, name).__doc__, f"{name} has no docstring"
        assert f"def {name}(" in stub or f"class {name}" in stub, f"{name} is not in the stub"
