"""kavro.compare: the tool's verdict, summaries and CSV read back exactly."""

import csv
import io

import numpy
import pytest

import kavro
from kavro import _compare
from conftest import run_tool


def test_sample_differences_match_the_tool(sample, tmp_path):
    """The sample's four differing cells: status, per-variable counts, extremes, RMS and the
    CSV rows equal what the tool itself writes."""
    r = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc")
    assert (r.status, r.exit_status, r.reason) == ("differ", 1, "")
    assert list(r.variables) == ["O3", "NO2", "TEMP", "CLOUD"]
    counts = {n: (v.cells_compared, v.steps, v.cells_differing, v.nan_against_number,
                  v.steps_differing, v.first_difference) for n, v in r.variables.items()}
    assert counts == {
        "O3": (384, 4, 1, 0, 1, (2024033, 10000)),
        "NO2": (384, 4, 1, 0, 1, (2024033, 20000)),
        "TEMP": (384, 4, 2, 1, 2, (2024033, 0)),
        "CLOUD": (384, 4, 0, 0, 0, None),
    }
    o3, no2, temp = r.variables["O3"], r.variables["NO2"], r.variables["TEMP"]
    assert (o3.units, o3.max_abs_difference, o3.max_rel_difference, o3.rms) == (
        "ppmV", 0.011600003, 0.25663722, 0.00059196015)
    assert o3.max_abs_at == _compare.Cell(2024033, 10000, 1, 3, 2, 39.730206, -90.491135,
                                          0.0336, 0.0452)
    assert (no2.max_abs_difference, no2.max_abs_at, no2.rms) == (None, None, 0.0)
    assert (temp.max_abs_difference, temp.rms) == (2.75, 0.14051844)
    assert (r.cells_differing, r.worst_variable) == (4, "TEMP")
    assert r.worst_cell == ("TEMP", _compare.Cell(2024033, 30000, 1, 10, 3, 39.838123,
                                                   -89.508095, 283.0, 285.75))

    status, _, tool_csv = run_tool(tmp_path, sample / "run1.nc", sample / "run2.nc",
                                   sample / "stack.nc")
    assert status == 0
    expected = list(csv.reader(io.StringIO(tool_csv)))[1:]
    assert len(r.rows) == len(expected) == 4
    for row, fields in zip(r.rows, expected):
        assert [row.variable, *map(str, (row.date, row.time, row.layer, row.column, row.row))] \
            == [fields[0], *map(str, map(int, fields[1:6]))]
        got = [row.value1, row.value2, row.difference, row.latitude, row.longitude, row.x, row.y]
        numpy.testing.assert_array_equal(got, [float(x) for x in fields[6:]])
    # REAL values are single-precision text: float32 of the record is the stored value.
    assert numpy.float32(r.rows[0].value1) == numpy.float32("0.0336")

    table = r.table()
    assert table.dtype == _compare.CSV_DTYPE and table.shape == (4,)
    assert list(table["variable"]) == ["O3", "NO2", "TEMP", "TEMP"]
    assert table["column"].tolist() == [3, 7, 12, 10]
    assert numpy.isnan(table["value2"][1]) and table["difference"][3] == 2.75


def test_identical_files(files):
    r = kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc")
    assert (r.status, r.exit_status, r.cells_differing, r.worst_variable, r.worst_cell) == (
        "identical", 0, 0, None, None)
    assert r.rows == [] and r.table().shape == (0,)
    assert all(v.cells_differing == 0 for v in r.variables.values())
    assert "Normal Completion of program Brindlewick" in r.log


@pytest.mark.parametrize("settings, differing", [
    # O3's 0.0116 is within 0.5; TEMP's 2.75 and its NaN against a number are not; NaN
    # against NaN is never reported once a tolerance is set.
    ({"abs_tol": 0.5}, {"O3": 0, "NO2": 0, "TEMP": 2, "CLOUD": 0}),
    ({"rel_tol": 0.1}, {"O3": 1, "NO2": 0, "TEMP": 1, "CLOUD": 0}),
    ({"abs_tol": 0.0, "rel_tol": 0.0}, {"O3": 1, "NO2": 0, "TEMP": 2, "CLOUD": 0}),
    # Without the CSV the summaries still count every cell.
    ({"csv": False}, {"O3": 1, "NO2": 1, "TEMP": 2, "CLOUD": 0}),
])
def test_tolerances_reach_the_tool(sample, monkeypatch, settings, differing):
    # A setting left in the caller's environment never counts: only the call's own.
    monkeypatch.setenv("BRINDLEWICK_ABS_TOL", "1000")
    r = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc", **settings)
    assert {n: v.cells_differing for n, v in r.variables.items()} == differing
    assert len(r.rows) == (sum(differing.values()) if settings.get("csv", True) else 0)


def test_reports_only_when_asked(sample):
    quiet = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc")
    assert quiet.reports == ""
    one = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc",
                        max_reports=1)
    # The first report is O3's cell (X -42000); NO2's and TEMP's are left out.
    assert "-42000.00" in one.reports
    assert 'Variable "TEMP": 2 differing cells not reported (BRINDLEWICK_MAX_REPORTS 1)' \
        in one.log


def test_file_lists_through_names(files):
    names = {"PY_DAY1": str(files / "grid.nc"), "PY_DAY2": str(files / "day2.nc")}
    r = kavro.compare("LIST:PY_DAY1,PY_DAY2", "LIST:PY_DAY1,PY_DAY2", files / "stack.nc",
                      names=names)
    assert r.status == "identical", r.reason
    assert r.variables["O3"].steps == 5


@pytest.mark.parametrize("file2, settings, reason", [
    ("missing.nc", {}, "INFILE2 ({files}/missing.nc): no such file"),
    ("other_grid.nc", {}, None),
    ("diff.nc", {"abs_tol": -1}, None),
])
def test_failures_are_results(files, file2, settings, reason):
    r = kavro.compare(files / "grid.nc", files / file2, files / "stack.nc", **settings)
    assert (r.status, r.exit_status, r.variables, r.rows) == ("failed", 2, {}, [])
    assert r.reason
    if reason is not None:
        assert r.reason == reason.format(files=files)


def test_what_cannot_run_raises(files, monkeypatch):
    with pytest.raises(kavro.CompareError, match="unknown setting 'abs_tolerance'"):
        kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc", abs_tolerance=1)
    with pytest.raises(kavro.CompareError, match="is not a number, text or yes/no"):
        kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc", abs_tol=[1])
    monkeypatch.setenv("KAVRO_BRINDLEWICK", str(files / "no_such_tool"))
    with pytest.raises(kavro.CompareError, match="brindlewick could not be run"):
        kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc")


def test_fixture_pairs(files):
    """The fixture writer's changed file: one O3 cell and one TEMP NaN against a number."""
    r = kavro.compare(files / "grid.nc", files / "diff.nc", files / "stack.nc")
    assert r.status == "differ"
    assert {n: v.cells_differing for n, v in r.variables.items()} == {"O3": 1, "TEMP": 1,
                                                                      "COUNT": 0}
    assert [(x.variable, x.date, x.time, x.layer, x.column, x.row) for x in r.rows] == [
        ("O3", 2024033, 10000, 2, 4, 3), ("TEMP", 2024033, 20000, 1, 1, 1)]
    assert r.rows[0].value2 == 99.5


@pytest.mark.parametrize("script, outcome", [
    # Status 0 with nothing written: an error, never an empty "identical".
    ("exit 0", "wrote no CSV"),
    ('echo "variable,date,time,layer,column,row,value1,value2,difference,latitude,longitude,x,y"'
     ' > "$BRINDLEWICK_CSV"; exit 1', "holds no summary"),
    ('echo "variable,date" > "$BRINDLEWICK_CSV"; echo "     Summary of all variables" '
     '> "$LOGFILE"; exit 0', "unexpected CSV header"),
    ("kill -9 $$", "failed: brindlewick ended by signal 9"),
    ("echo 'no memory' >&2; exit 2", "failed: no memory"),
])
def test_a_tool_that_misbehaves(files, tmp_path, monkeypatch, script, outcome):
    tool = tmp_path / "fake_tool"
    tool.write_text("#!/bin/sh\n" + script + "\n")
    tool.chmod(0o755)
    monkeypatch.setenv("KAVRO_BRINDLEWICK", str(tool))
    if outcome.startswith("failed: "):
        r = kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc")
        assert (r.status, r.reason) == ("failed", outcome[len("failed: "):])
    else:
        with pytest.raises(kavro.CompareError, match=outcome):
            kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc")
