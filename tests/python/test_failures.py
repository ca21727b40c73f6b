"""A failure of a file as Python meets it: kavro.Error's path, cause and routine, and the
reason of a failed kavro.compare, the same words the tool writes on standard error."""

import pytest

import kavro


def make_bad_files(folder):
    """A folder, an empty file, a text file and a copy of grid.nc cut inside its header,
    beside the fixtures."""
    (folder / "adir").mkdir(exist_ok=True)
    (folder / "empty.nc").write_bytes(b"")
    (folder / "text.nc").write_text("a text file, not a netCDF file\n")
    (folder / "cut.nc").write_bytes((folder / "grid.nc").read_bytes()[:12])


# (file, routine, cause)
OPEN_FAILURES = [
    ("nothere.nc", "OPEN3", "no such file"),
    ("adir", "OPNFIL3", "not a regular file"),
    ("empty.nc", "XQABORT", "not a netCDF file"),
    ("text.nc", "XQABORT", "not a netCDF file"),
    ("cut.nc", "OPNFIL3", "header runs past the end of the file (12 bytes)"),
]


@pytest.mark.parametrize("name, routine, cause", OPEN_FAILURES)
def test_error_has_path_and_cause(files, name, routine, cause):
    make_bad_files(files)
    with pytest.raises(kavro.Error) as e:
        kavro.open(files / name)
    path = str(files / name)
    assert (e.value.routine, e.value.path, e.value.cause) == (routine, path, cause)
    assert str(e.value) == f"{path}: {cause}"


# (value, mode, names, cause): values the open refuses before any file is read.
REFUSED_VALUES = [
    ("VIRTUAL run", "r", {}, "VIRTUAL files are not implemented"),
    ("LIST:A,B", "r+", {"A": "grid.nc", "B": "grid.nc"}, "a file list opens read-only only"),
    ("LIST:A,NOSUCH", "r", {"A": "grid.nc"}, "member NOSUCH: no such file"),
]


@pytest.mark.parametrize("value, mode, names, cause", REFUSED_VALUES)
def test_refused_value_has_its_cause(files, monkeypatch, value, mode, names, cause):
    monkeypatch.chdir(files)
    with pytest.raises(kavro.Error) as e:
        kavro.open(value, mode, names={k: files / v for k, v in names.items()})
    assert (e.value.path, e.value.cause) == (value, cause)


def test_error_of_a_read_names_the_step(files):
    """A step the file does not hold is refused before the library is asked (a StepError, also
    an IndexError), naming the file, the step and the steps it holds."""
    with kavro.open(files / "grid.nc") as f:
        with pytest.raises(kavro.StepError) as e:
            f.read("O3", (2024034, 0))
    assert (e.value.routine, e.value.path) == ("File.read", str(files / "grid.nc"))
    assert e.value.cause.startswith("step (2024034, 0) is not in the file: give an index 0..2")


@pytest.mark.parametrize("name, routine, cause", OPEN_FAILURES)
def test_compare_reason_is_the_terminal_line(files, name, routine, cause):
    make_bad_files(files)
    r = kavro.compare(files / "grid.nc", files / name, files / "stack.nc")
    expected = f"INFILE2 ({files / name}): {cause}"
    assert (r.status, r.exit_status, r.reason) == ("failed", 2, expected)


def test_compare_reason_names_a_missing_step(files):
    """day2.nc starts a day after grid.nc: grid.nc's first step is not in it. The reason
    says how to compare the steps both hold."""
    r = kavro.compare(files / "day2.nc", files / "grid.nc", files / "stack.nc")
    assert (r.status, r.reason) == (
        "failed", f"INFILE1 ({files / 'day2.nc'}): step 2024033:000000 is not in this file "
        "(BRINDLEWICK_ONLY_COMMON=Y compares the rest)")
    assert r.cells_differing is None
