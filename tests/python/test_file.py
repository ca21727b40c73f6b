"""kavro.open and File: descriptions, steps, reads, failures and the log."""

import pickle

import numpy
import pytest

import kavro
from grid_values import NCOLS, NLAYS, NROWS, VARIABLES, expected

STEPS = [(2024033, 0), (2024033, 10000), (2024033, 20000)]


def test_description_is_the_fixture(files):
    with kavro.open(files / "grid.nc") as f:
        d = f.description
    assert (d["file_type"], d["file_type_name"]) == (1, "GRDDED3")
    assert d["grid"] == {"name": "PY_GRID", "ncols": NCOLS, "nrows": NROWS, "nthik": 1,
                         "xorig": -30000.0, "yorig": -24000.0, "xcell": 12000.0,
                         "ycell": 12000.0}
    assert d["projection"] == {"type": 2, "alpha": 30.0, "beta": 60.0, "gamma": -90.0,
                               "xcent": -90.0, "ycent": 40.0}
    assert d["time"] == {"start": (2024033, 0), "step": 10000, "records": 3}
    assert d["vertical"]["layers"] == NLAYS and d["vertical"]["type"] == 7
    numpy.testing.assert_array_equal(numpy.float32(d["vertical"]["levels"][:NLAYS + 1]),
                                     numpy.float32([1.0, 0.9, 0.7, 0.4]))
    assert [(v["name"], v["units"], v["description"], v["dtype"]) for v in d["variables"]] == [
        ("O3", "ppmV", "ozone", numpy.float32), ("TEMP", "K", "air temperature", numpy.float64),
        ("COUNT", "1", "a count", numpy.int32)]
    assert d["lines"][0] == "Fixture file written with the raw netCDF C API"


def test_steps_as_datetimes_and_pairs(files):
    with kavro.open(files / "grid.nc") as f:
        assert f.step_pairs == STEPS
        numpy.testing.assert_array_equal(f.steps, numpy.array(
            ["2024-02-02T00:00:00", "2024-02-02T01:00:00", "2024-02-02T02:00:00"],
            dtype="datetime64[s]"))
    # A negative step reuses two records: written for 3 steps, the file holds steps 2 and 3,
    # and step 3 (index 1) is read from record 1.
    with kavro.open(files / "rolling.nc") as f:
        assert f.step_pairs == STEPS[1:]
        numpy.testing.assert_array_equal(f.read("O3", 1), expected("O3", 1))
    # Day 366 of a leap year, the last second of the day.
    numpy.testing.assert_array_equal(
        kavro.datetimes([(2024366, 235959), (2023001, 0)]),
        numpy.array(["2024-12-31T23:59:59", "2023-01-01T00:00:00"], dtype="datetime64[s]"))


@pytest.mark.parametrize("name, dtype", VARIABLES)
def test_reads_every_layer_or_one(files, name, dtype):
    with kavro.open(files / "grid.nc") as f:
        for k, pair in enumerate(STEPS):
            whole = f.read(name, k)
            assert whole.dtype == dtype and whole.shape == (NLAYS, NROWS, NCOLS)
            numpy.testing.assert_array_equal(whole, expected(name, k + 1))
            one = f.read(name, pair, layer=2)
            assert one.shape == (1, NROWS, NCOLS)
            numpy.testing.assert_array_equal(one, expected(name, k + 1, [2]))
        numpy.testing.assert_array_equal(f.read(name, f.steps[2], layer=3),
                                         expected(name, 3, [3]))


def test_file_list_steps_follow_the_members(files):
    names = {"PYLIST_A": files / "grid.nc", "PYLIST_B": files / "day2.nc"}
    with kavro.open("LIST:PYLIST_A,PYLIST_B", names=names) as f:
        assert f.step_pairs == STEPS + [(2024033, 30000), (2024033, 40000)]
        for k in range(5):
            numpy.testing.assert_array_equal(f.read("TEMP", k), expected("TEMP", k + 1))


def test_logical_names_and_the_log(files, session_log, monkeypatch):
    monkeypatch.setenv("PY_GRIDFILE", str(files / "grid.nc"))
    with kavro.open("PY_GRIDFILE") as f:
        assert f.logical_name == "PY_GRIDFILE"
        assert not f.closed
    assert f.closed
    f.close()  # closing twice is harmless
    log = session_log.read_text()
    assert '"PY_GRIDFILE" opened as OLD:READ-ONLY' in log
    assert f'File name "{files / "grid.nc"}"' in log


def test_failures_raise_the_logs_reason(files):
    """Every failure is a kavro.Error of its class, with the routine, the path and the cause
    (the reason the log gives)."""
    with pytest.raises(kavro.OpenError) as e:
        kavro.open(files / "missing.nc")
    assert (e.value.routine, e.value.path, e.value.cause, e.value.reason) == (
        "OPEN3", str(files / "missing.nc"), "no such file", "File not available.")
    with kavro.open(files / "grid.nc") as f:
        name = f.logical_name
        with pytest.raises(kavro.ReadError) as e:
            f.read("O3", 0, layer=NLAYS + 1)
        assert (e.value.routine, e.value.reason, e.value.path) == (
            "READ3", f"LAYER not available in file {name}", str(files / "grid.nc"))
        with pytest.raises(kavro.VariableError, match='no variable "NOPE"'):
            f.read("NOPE", 0)
    with pytest.raises(kavro.SettingError, match="mode 'x'") as e:
        kavro.open(files / "grid.nc", mode="x")
    assert isinstance(e.value, ValueError) and e.value.routine == "mode"


RANGE = ("give an index 0..2 (or -3..-1), or a time from 2024-02-02T00:00:00 to "
         "2024-02-02T02:00:00 as (YYYYDDD, HHMMSS), numpy.datetime64 or ISO text")


@pytest.mark.parametrize("step, error, text", [
    # Every form of a step names the same one.
    (1, None, None), (-2, None, None), ((2024033, 10000), None, None),
    (numpy.datetime64("2024-02-02T01:00"), None, None), ("2024-02-02T01:00:00", None, None),
    # Bad ones name the valid range.
    (3, IndexError, "step 3 is out of range: "), (-4, IndexError, "step -4 is out of range: "),
    ((2024034, 0), IndexError, "step (2024034, 0) is not in the file: "),
    ("2024-02-03", IndexError, "step '2024-02-03' is not in the file: "),
    ((2024033, 1, 2), ValueError, "step (2024033, 1, 2) is no step: "),
    ((2024033, 250000), ValueError, "step (2024033, 250000) is no (YYYYDDD, HHMMSS) pair: "),
    ("yesterday", ValueError, "step 'yesterday' is no date and time: "),
    (True, ValueError, "step True is no step: "),
])
def test_steps_in_every_form(files, step, error, text):
    with kavro.open(files / "grid.nc") as f:
        if error is None:
            numpy.testing.assert_array_equal(f.read("O3", step), expected("O3", 2))
            return
        with pytest.raises(error) as e:
            f.read("O3", step)
    assert isinstance(e.value, kavro.Error) and str(e.value) == f"{files / 'grid.nc'}: {text}{RANGE}"


@pytest.mark.parametrize("cls, builtin", [
    (kavro.Error, RuntimeError), (kavro.OpenError, RuntimeError), (kavro.ReadError, RuntimeError),
    (kavro.WriteError, RuntimeError), (kavro.StepError, IndexError),
    (kavro.StepValueError, ValueError), (kavro.VariableError, KeyError),
    (kavro.SettingError, ValueError), (kavro.CompareError, RuntimeError),
])
def test_one_hierarchy(cls, builtin):
    """Every class is a kavro.Error and, where a caller expects one, a built-in error; each
    travels through pickle (from a Dask worker) with its fields."""
    err = pickle.loads(pickle.dumps(cls("the reason", "ROUTINE", "/data/run.nc", "the cause",
                                        "GRIDFILE")))
    assert type(err) is cls and isinstance(err, kavro.Error) and isinstance(err, builtin)
    assert (err.reason, err.routine, err.path, err.cause, err.logical_name, str(err)) == (
        "the reason", "ROUTINE", "/data/run.nc", "the cause", "GRIDFILE",
        "GRIDFILE (/data/run.nc): the cause")
    assert cls.__module__ == "kavro" and getattr(kavro, cls.__name__) is cls


def test_codes_come_from_the_library():
    """The package's codes are the library's, as its routines name them."""
    from kavro import _file, _kavro
    assert {k: _kavro.constants[k] for k in ("FSREAD3", "FSRDWR3", "FSNEW3", "FSUNKN3",
                                               "FSCREA3", "XQINT", "XQREAL", "XQDBLE",
                                               "ALLAYS3", "GRDDED3")} == {
        "FSREAD3": 1, "FSRDWR3": 2, "FSNEW3": 3, "FSUNKN3": 4, "FSCREA3": 5, "XQINT": 4,
        "XQREAL": 5, "XQDBLE": 6, "ALLAYS3": -1, "GRDDED3": 1}
    assert _file.MODES == {"r": 1, "r+": 2, "w": 3, "a": 4, "w!": 5}
    assert _file.FILE_TYPES == {-3: "KFEVNT3", -2: "DGRAPH3", -1: "CUSTOM3", 0: "DCTNRY3",
                                1: "GRDDED3", 2: "BNDARY3", 3: "IDDATA3", 4: "PROFIL3",
                                5: "GRNEST3", 6: "SMATRX3", 8: "PTRFLY3"}
