"""kavro.compare: the tool's verdict, summaries and CSV read back exactly."""

import csv
import io
import json
import os
import re
import shutil
import subprocess

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


@pytest.mark.parametrize("file2, settings, status, fields", [
    ("same.nc", {}, "identical", {"categories": ()}),
    ("fewer_steps.nc", {}, "differ", {
        "categories": ("steps",), "steps_only_in_file1": ((2024033, 20000),)}),
    ("fewer_vars.nc", {}, "differ", {
        "categories": ("variables",), "variables_only_in_file1": ("COUNT",)}),
    ("shifted.nc", {}, "differ", {"categories": ("grid",), "grid_differences": (
        _compare.GridDifference("origin", "(-30000, -24000)", "(-18000, -24000)"),
        _compare.GridDifference("projection", "type 2 angles (30, 60, -90) centre (-90, 40)",
                                "type 2 angles (33, 60, -90) centre (-90, 40)"))}),
    ("units.nc", {}, "differ", {"categories": ("header",), "header_differences": (
        _compare.HeaderDifference("VGTOP", None, "5000", "10000"),
        _compare.HeaderDifference("units", "O3", "ppmV", "ppbV"))}),
    ("units.nc", {"verdict_ignores": ["header"]}, "identical", {
        "categories": (), "excluded": ("header",), "not_counted": ("header",)}),
    ("units.nc", {"ignore_attributes": ["units", "VGTOP"]}, "identical", {"categories": ()}),
])
def test_every_kind_of_difference(files, file2, settings, status, fields):
    """Files that differ in one kind only (steps, variables, grid, header) differ, with the
    kind named; the settings may leave kinds or attributes out."""
    r = kavro.compare(files / "grid.nc", files / file2, files / "stack.nc", **settings)
    assert (r.status, r.exit_status, r.cells_differing) == (
        status, 0 if status == "identical" else 1, 0), r.reason
    for name, value in fields.items():
        assert getattr(r, name) == value, name
    assert r.json["schema_version"] == 2
    assert r.json["files"] == {"file1": str(files / "grid.nc"), "file2": str(files / file2),
                               "stack": str(files / "stack.nc")}
    # The steps listed are those compared.
    assert r.steps == [(2024033, 0), (2024033, 10000)] + (
        [] if file2 == "fewer_steps.nc" else [(2024033, 20000)])


# The JSON result's keys, in the order the manual page lists them (schema_version 2).
SCHEMA = ["schema_version", "status", "reason", "categories", "not_counted", "excluded_categories",
          "files", "settings", "excluded_variables", "steps", "not_compared", "grid", "header",
          "variables", "totals"]
VARIABLE_KEYS = ["name", "units", "cells_compared", "steps", "cells_differing",
                 "nan_against_number", "steps_differing", "first_difference", "largest_abs",
                 "largest_rel", "rms", "tolerance", "margin", "series"]


@pytest.mark.parametrize("file2, status", [
    ("diff.nc", "differ"), ("same.nc", "identical"), ("missing.nc", "failed")])
def test_json_schema(files, file2, status):
    """Every run's result has the documented keys in the documented order, whatever its
    status; a differing variable has a series per step compared."""
    r = kavro.compare(files / "grid.nc", files / file2, files / "stack.nc")
    assert (r.status, list(r.json)) == (status, SCHEMA)
    assert r.json["schema_version"] == 2
    assert list(r.json["not_compared"]) == ["variables_only_in_file1", "variables_only_in_file2",
                                            "steps_only_in_file1", "steps_only_in_file2"]
    for v in r.json["variables"]:
        assert list(v) == VARIABLE_KEYS
        differing = v["cells_differing"] > 0
        assert (v["series"] is not None) == differing
        if differing:
            assert [(f["date"], f["time"]) for f in v["series"]] == r.steps
            assert sum(f["cells_differing"] for f in v["series"]) == v["cells_differing"]
            # A NaN against a number differs without a difference to measure.
            largest = (v["largest_abs"] or {"difference": 0})["difference"]
            assert max(f["largest_abs"] for f in v["series"]) == largest


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


def test_tolerance_file_exclude_and_layers(sample, tmp_path):
    """A tolerance file gives each variable its tolerance, and the result its margin; excluded
    variables are listed as such; layers narrow the comparison."""
    toml = tmp_path / "tol.toml"
    toml.write_text('[default]\nabs = 0.5\n[variables]\n"T*" = { abs = 2 }\n')
    r = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc",
                      tolerances=toml, exclude="CLOUD", layers=1)
    assert {n: v.cells_differing for n, v in r.variables.items()} == {"O3": 0, "NO2": 0,
                                                                      "TEMP": 2}
    assert {n: (v.tolerance, v.margin) for n, v in r.variables.items()} == {
        "O3": ({"abs": 0.5, "rel": 0}, pytest.approx(0.0116 / 0.5, rel=1e-6)),
        "NO2": ({"abs": 0.5, "rel": 0}, 0), "TEMP": ({"abs": 2, "rel": 0}, 1.375)}
    assert (r.json["excluded_variables"], r.json["settings"]["layers"]) == (["CLOUD"], [1, 1])
    assert r.json["settings"]["tolerances"] == str(toml)


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
    ("diff.nc", {"variables": ["SO2"]},
     'Variable "SO2" of BRINDLEWICK_VARIABLES is in neither "INFILE1" nor "INFILE2"'),
])
def test_failures_are_results(files, file2, settings, reason):
    r = kavro.compare(files / "grid.nc", files / file2, files / "stack.nc", **settings)
    assert (r.status, r.exit_status, r.variables, r.rows) == ("failed", 2, {}, [])
    # The tool's JSON result says the same.
    assert (r.json["status"], r.json["reason"], r.json["variables"]) == ("failed", r.reason, [])
    assert r.reason
    if reason is not None:
        assert r.reason == reason.format(files=files)


SETTING_CASES = [
    # keyword, a good value and what the tool is given (an option, or the library's variable),
    # a bad value and why it is refused (a wrong type here, a bad text in the tool's words).
    ("nan_equal", True, "--nan-equal=Y", "yes", "True or False"),
    ("summary", False, "--summary=N", 1, "True or False"),
    ("only_common", False, "--only-common=N", 1, "True or False"),
    ("variables", ["O3", "TEMP"], "--variables=O3,TEMP", ["O3", "A B"],
     '"O3,A B" is not variable names of at most 16 characters, separated by commas'),
    ("variables", "O3", "--variables=O3", [], "variable names (a list, or one name)"),
    ("exclude", ["NO2"], "--exclude=NO2", ["A,B"], "without commas"),
    ("steps", [(2024033, 10000), "2024-02-02T02:00"], "--steps=2024033:010000/2024-02-02T02:00",
     [(2024033, 20000), (2024033, 10000)],
     '"2024033:020000/2024033:010000" has its first step after its last'),
    ("steps", ((2024033, 0), (2024033, 0)), "--steps=2024033:000000/2024033:000000",
     ((2024033, 0),), "(first, last), each (YYYYDDD, HHMMSS)"),
    ("steps", "2024-02-02T00:00:2024-02-02T01:00", "--steps=2024-02-02T00:00:2024-02-02T01:00",
     ("2024-02-02T03", "2024-02-02"), '"2024-02-02T03" is not YYYYDDD:HHMMSS or '
     'YYYY-MM-DD[Thh:mm[:ss]]'),
    ("layers", (1, 2), "--layers=1:2", 0, '"0" is not FIRST:LAST, layers from 1'),
    ("layers", 2, "--layers=2", (1, "2"), "(first, last) or one layer"),
    ("abs_tol", 0.5, "--abs-tol=0.5", -1, '"-1" is not a number, 0 or more'),
    ("rel_tol", 1e-3, "--rel-tol=0.001", float("nan"), '"nan" is not a number, 0 or more'),
    ("max_reports", 2, "--max-reports=2", 1.5, '"1.5" is not a whole number, 0 or more'),
    ("maps", "/tmp", "--maps=/tmp", 7, "a text or a path"),
    ("tolerances", "/x/t.toml", "--tolerances=/x/t.toml", ["a"], "a text or a path"),
    ("format", "labelled", "--format=labelled", "long", '"long" is not labelled or standard'),
    ("check_headers", True, {"KAVRO_CHECK_HEADERS": "Y"}, "Y", "True or False"),
    ("direct_read", False, {"KAVRO_DIRECT_READ": "N"}, None, None),
    ("execution_id", "run 7", {"EXECUTION_ID": "run 7"}, 7, "a text or a path"),
    ("scenfile", "scenario.txt", {"SCENFILE": "scenario.txt"}, ["a"], "a text or a path"),
    ("ignore_attributes", ["units", "VGTOP"], "--ignore-attributes=units,VGTOP", ["a b"],
     '"a b" is not ALL, NONE, or attribute names'),
    ("verdict_ignores", ["header", "grid"], "--verdict-ignores=header,grid", ["colour"],
     '"colour" is not cells, steps, variables, grid or header'),
]


@pytest.mark.parametrize("name, good, given, bad, why", SETTING_CASES)
def test_keyword_settings(name, good, given, bad, why):
    """Every setting as a keyword: the tool's as options, the library's in the environment; a
    bad value refused with a ValueError that names the keyword, before anything runs."""
    env, options = _compare.checked_settings({name: good})
    assert (env, options) == (({}, [given]) if isinstance(given, str) else (given, []))
    if why is None:
        assert _compare.checked_settings({name: bad}) == ({}, [])
        return
    with pytest.raises(ValueError) as e:
        _compare.checked_settings({name: bad})
    assert isinstance(e.value, kavro.SettingError) and e.value.routine == name
    assert str(e.value).startswith(f"{name}={bad!r}: ") and why in str(e.value)


def test_every_setting_has_a_case():
    assert {c[0] for c in SETTING_CASES} == set(_compare.SETTINGS)


# A text of each kind that the tool refuses, and its words.
BAD_TEXT = {
    "yes_no": ("maybe", '"maybe" is not Y or N'),
    "tolerance": ("1e", '"1e" is not a number, 0 or more'),
    "count": ("-2", '"-2" is not a whole number, 0 or more'),
    "format": ("long", '"long" is not labelled or standard'),
    "names": ("A,,B", '"A,,B" is not variable names of at most 16 characters, separated by '
              'commas'),
    "steps": ("2024-07-01T03", '"2024-07-01T03" is not FIRST:LAST, each YYYYDDD:HHMMSS or '
              'YYYY-MM-DD[Thh:mm[:ss]]'),
    "layers": ("2:1", '"2:1" is not FIRST:LAST, layers from 1, the first not after the last'),
    "attributes": ("A,,B", '"A,,B" is not ALL, NONE, or attribute names separated by commas'),
    "categories": ("colour", '"colour" is not cells, steps, variables, grid or header, '
                   'separated by commas'),
}


@pytest.mark.parametrize("row", kavro._kavro.tool_settings(), ids=lambda r: r["option"])
def test_keywords_follow_the_tools_table(row, tmp_path):
    """Every row of the tool's own table is a keyword (but the JSON result, the CSV and the exit
    status, which compare() sets itself), with the tool's option; the tool refuses a bad text
    with the very words the keyword's refusal gives, quoting the value."""
    keyword = row["option"].replace("-", "_")
    if row["env"] in _compare.TAKEN:
        assert keyword not in _compare.SETTINGS
        return
    assert (_compare.SETTINGS[keyword].variable, _compare.SETTINGS[keyword].option) == (
        row["env"], row["option"])
    if row["kind"] not in BAD_TEXT:
        assert kavro._kavro.setting_problem(row["env"], "any/path") == ""
        return
    text, why = BAD_TEXT[row["kind"]]
    assert kavro._kavro.setting_problem(row["env"], text) == why
    done = subprocess.run([_compare.find_brindlewick(), f"--{row['option']}={text}"],
                          capture_output=True, text=True, cwd=tmp_path, check=False)
    assert done.returncode == 2
    assert done.stderr.startswith(f"brindlewick: --{row['option']}: {why}; usage: ")


def test_a_setting_the_tool_lacks_is_refused(files, tmp_path, monkeypatch):
    """The tool's settings travel as options, so a tool older than the package refuses one it
    lacks instead of going on without it: the comparison fails with the tool's reason."""
    tool = tmp_path / "old_tool"
    tool.write_text(f'#!/bin/sh\necho "$@" > {tmp_path}/args\n'
                    'echo \'brindlewick: unexpected argument "--only-common=Y"\' >&2\nexit 2\n')
    tool.chmod(0o755)
    monkeypatch.setenv("KAVRO_BRINDLEWICK", str(tool))
    r = kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc",
                      nan_equal=True, only_common=True)
    assert (r.status, r.exit_status) == ("failed", 2)
    assert r.reason == 'unexpected argument "--only-common=Y"'
    assert (tmp_path / "args").read_text() == "--nan-equal=Y --only-common=Y\n"


def test_what_cannot_run_raises(files, monkeypatch):
    with pytest.raises(kavro.SettingError, match="unknown setting 'abs_tolerance'"):
        kavro.compare(files / "grid.nc", files / "same.nc", files / "stack.nc", abs_tolerance=1)
    with pytest.raises(ValueError, match="abs_tol=\\[1\\]: a number"):
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


def test_without_a_location_file(files, tmp_path, monkeypatch):
    """No stack: the locations come from the grid, as in the file make_stack writes, even with
    STACK1 set in the caller's environment and a file named STACK1 in its folder."""
    made = tmp_path / "made_stack.nc"
    subprocess.run([os.path.join(os.path.dirname(_compare.find_brindlewick()), "make_stack"),
                    files / "grid.nc", made], check=True, capture_output=True,
                   env=dict(os.environ, LOGFILE="/dev/null"))
    with_made = kavro.compare(files / "grid.nc", files / "diff.nc", made)
    shutil.copy(files / "stack.nc", tmp_path / "STACK1")
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("STACK1", str(files / "stack.nc"))
    r = kavro.compare(os.path.relpath(files / "grid.nc"), os.path.relpath(files / "diff.nc"))
    assert (r.status, r.stack, len(r.rows)) == ("differ", "", 2)
    assert repr(r.rows) == repr(with_made.rows) and repr(r.variables) == repr(with_made.variables)
    fixture_stack = kavro.compare(files / "grid.nc", files / "diff.nc", files / "stack.nc")
    assert [x.latitude for x in fixture_stack.rows] != [x.latitude for x in r.rows]


JSON_IDENTICAL = """'{"status": "identical", "reason": "", "variables": []}'"""


@pytest.mark.parametrize("script, outcome", [
    # Status 0 with nothing written: an error, never an empty "identical".
    ("exit 0", "wrote no JSON result"),
    (f'echo {JSON_IDENTICAL} > "$BRINDLEWICK_JSON"; exit 0', "wrote no CSV"),
    ('echo "variable,date,time,layer,column,row,value1,value2,difference,latitude,longitude,x,y"'
     ' > "$BRINDLEWICK_CSV"; echo "{" > "$BRINDLEWICK_JSON"; exit 1', "not a JSON result"),
    ('echo "variable,date" > "$BRINDLEWICK_CSV"; '
     f'echo {JSON_IDENTICAL} > "$BRINDLEWICK_JSON"; exit 0', "unexpected CSV header"),
    ("kill -9 $$", "failed: brindlewick ended by signal 9"),
    ("echo 'no memory' >&2; exit 2", "failed: no memory"),
    ("echo 'brindlewick: no stack' >&2; exit 2", "failed: no stack"),
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


def test_json_agrees_with_the_csv_and_the_summary(sample, tmp_path):
    """The tool's JSON result, read by the package, against the CSV and the log's summary of
    the same run."""
    json_path = tmp_path / "result.json"
    status, log, tool_csv = run_tool(tmp_path, sample / "run1.nc", sample / "run2.nc",
                                     sample / "stack.nc", BRINDLEWICK_JSON=str(json_path),
                                     BRINDLEWICK_NAN_EQUAL="Y")
    assert status == 0
    result = json.loads(json_path.read_text())
    assert (result["status"], result["reason"]) == ("differ", "")
    assert result["settings"] == {
        "abs_tol": None, "rel_tol": None, "nan_equal": True, "variables": None, "steps": None,
        "max_reports": None, "maps": None, "csv": str(tmp_path / "direct.csv"), "summary": True,
        "exit_on_diff": False, "format": "standard", "exclude": None, "layers": None,
        "tolerances": None, "only_common": False, "ignore_attributes": [], "verdict_ignores": []}
    assert result["steps"] == [[2024033, t] for t in (0, 10000, 20000, 30000)]
    rows = list(csv.DictReader(io.StringIO(tool_csv)))
    for v in result["variables"]:
        mine = [r for r in rows if r["variable"] == v["name"]]
        assert v["cells_differing"] == len(mine)
        # The summary's lines hold the same numbers, in the same text.
        start = log.index(f'Summary of "{v["name"]}"')
        block = log[start:log.index("\n", log.index("RMS difference:", start)) + 1]
        assert re.search(rf"cells differing: +{v['cells_differing']}\n", block), block
        assert re.search(rf"RMS difference: +{re.escape(repr(v['rms']))}\n", block), block
        extreme = v["largest_abs"]
        if extreme is None:
            assert re.search(r"largest \|difference\|: +none\n", block), block
            continue
        assert re.search(rf"largest \|difference\|: +{re.escape(repr(extreme['difference']))}\n",
                         block), block
        # Its cell is a row of the CSV, with both values.
        at = [r for r in mine if [int(r[k]) for k in ("date", "time", "layer", "column", "row")]
              == [extreme[k] for k in ("date", "time", "layer", "column", "row")]]
        assert [(float(r["value1"]), float(r["value2"])) for r in at] == [
            (extreme["value1"], extreme["value2"])]
    totals = result["totals"]
    assert (totals["cells_differing"], totals["variables"]) == (len(rows), 4)
    assert totals["cells_differing"] == sum(v["cells_differing"] for v in result["variables"])


def test_a_file_against_itself_with_nan_equal(sample):
    """run2.nc holds a NaN: against itself it differs (NaN against NaN), unless nan_equal."""
    plain = kavro.compare(sample / "run2.nc", sample / "run2.nc", sample / "stack.nc")
    assert plain.status == "differ"
    same = kavro.compare(sample / "run2.nc", sample / "run2.nc", sample / "stack.nc",
                         nan_equal=True)
    assert (same.status, same.cells_differing, same.rows) == ("identical", 0, [])
    assert same.json["settings"]["nan_equal"] is True and len(same.steps) == 4


def test_steps_and_variables_reach_the_tool(sample):
    r = kavro.compare(sample / "run1.nc", sample / "run2.nc", sample / "stack.nc",
                      variables=["O3", "TEMP"], steps=("2024-02-02T01:00", (2024033, 20000)))
    assert list(r.variables) == ["O3", "TEMP"]
    assert r.steps == [(2024033, 10000), (2024033, 20000)]
    assert r.json["settings"]["steps"] == [[2024033, 10000], [2024033, 20000]]
