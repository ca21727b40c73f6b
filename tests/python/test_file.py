"""kavro.open and File: descriptions, steps, reads, failures and the log."""

import os

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
    """The exception's message is the reason the log gives, and it names the routine."""
    with pytest.raises(kavro.Error) as e:
        kavro.open(files / "missing.nc")
    assert (e.value.routine, e.value.reason) == ("OPEN3", "File not available.")
    with kavro.open(files / "grid.nc") as f:
        name = f.logical_name
        with pytest.raises(kavro.Error) as e:
            f.read("O3", (2024034, 0))
        assert (e.value.routine, e.value.reason) == (
            "RDTFLAG", f"Time step not yet written in file {name}")
        with pytest.raises(kavro.Error) as e:
            f.read("O3", 0, layer=NLAYS + 1)
        assert (e.value.routine, e.value.reason) == (
            "READ3", f"LAYER not available in file {name}")
        with pytest.raises(KeyError, match='no variable "NOPE"'):
            f.read("NOPE", 0)
    with pytest.raises(ValueError, match="mode 'x'"):
        kavro.open(files / "grid.nc", mode="x")
