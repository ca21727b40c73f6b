"""kavro.compare_folders: two folders compared pair by pair, by the tool's own folder run and
by one Dask task per pair on a 2-worker LocalCluster (loopback only, bounded in time); both
give the tool's folder document."""

import shutil
import subprocess
import sys

import pytest

import kavro
from kavro import cli

SECONDS = 120

EXPECTED = [  # (path, verdict, categories)
    ("bad.nc", "failed", []),
    ("extra.nc", "only_in_dir2", []),
    ("grid.nc", "identical", []),
    ("missing.nc", "only_in_dir1", []),
    ("sub/diff.nc", "differ", ["cells"]),
    ("sub/other.nc", "failed", []),
]
TOTALS = {"pairs": 6, "identical": 1, "differ": 1, "failed": 2, "only_in_dir1": 1,
          "only_in_dir2": 1}


@pytest.fixture(scope="module")
def folders(files, tmp_path_factory):
    """d1 and d2: an identical, a differing and an ill-fitting pair (in sub/), a file that is
    no netCDF file on both sides, one file missing from d2 and one extra in d2."""
    root = tmp_path_factory.mktemp("folders")
    d1, d2 = root / "d1", root / "d2"
    for d in (d1 / "sub", d2 / "sub"):
        d.mkdir(parents=True)
    shutil.copy(files / "grid.nc", d1 / "grid.nc")
    shutil.copy(files / "same.nc", d2 / "grid.nc")
    shutil.copy(files / "grid.nc", d1 / "sub" / "diff.nc")
    shutil.copy(files / "diff.nc", d2 / "sub" / "diff.nc")
    shutil.copy(files / "grid.nc", d1 / "sub" / "other.nc")
    shutil.copy(files / "other_grid.nc", d2 / "sub" / "other.nc")
    shutil.copy(files / "grid.nc", d1 / "missing.nc")
    shutil.copy(files / "grid.nc", d2 / "extra.nc")
    for d in (d1, d2):
        (d / "bad.nc").write_text("not a netCDF file\n")
    return d1, d2


def check(result, d1, d2):
    assert result.verdict == "failed" and result.exit_status == 2
    assert result.totals == TOTALS
    assert [(p["path"], p["verdict"], p["categories"]) for p in result.pairs] == EXPECTED
    assert result.document["schema"] == "brindlewick-folders"
    assert (result.document["dir1"], result.document["dir2"]) == (str(d1), str(d2))
    by_path = {p["path"]: p for p in result.pairs}
    assert by_path["missing.nc"]["file2"] == "" and by_path["missing.nc"]["result"] is None
    assert by_path["grid.nc"]["result"]["status"] == "identical"
    assert by_path["sub/diff.nc"]["result"]["totals"]["cells_differing"] == 2
    assert by_path["sub/diff.nc"]["exit_status"] == 1
    table = result.table
    assert list(table["path"]) == [p for p, _, _ in EXPECTED]
    assert table.set_index("path").loc["sub/diff.nc", "cells_differing"] == 2


def test_folders_by_the_tool(folders):
    d1, d2 = folders
    result = kavro.compare_folders(d1, d2, jobs=2, timeout=SECONDS)
    check(result, d1, d2)
    by_path = {p["path"]: p for p in result.pairs}
    assert by_path["bad.nc"]["reason"] == f"INFILE1 ({d1 / 'bad.nc'}): not a netCDF file"
    # The filters choose the pairs.
    only = kavro.compare_folders(d1, d2, include=["*.nc"], exclude_files=["sub/*", "bad.nc"])
    assert [p["path"] for p in only.pairs] == ["extra.nc", "grid.nc", "missing.nc"]
    # exclude= is compare()'s: the variables every pair leaves out.
    cells = [kavro.compare_folders(d1 / "sub", d2 / "sub", include=["diff.nc"], **left_out)
             .pairs[0]["result"]["totals"]["cells_differing"]
             for left_out in ({}, {"exclude": ["O3"]})]
    assert cells[0] > cells[1]


def test_folders_on_a_cluster_equal_the_tool(folders, client):
    d1, d2 = folders
    on_cluster = kavro.compare_folders(d1, d2, client, timeout=SECONDS)
    check(on_cluster, d1, d2)
    by_tool = kavro.compare_folders(d1, d2, timeout=SECONDS)
    for a, b in zip(on_cluster.pairs, by_tool.pairs):
        assert (a["verdict"], a["categories"], a["exit_status"]) == (
            b["verdict"], b["categories"], b["exit_status"]), a["path"]
        if a["result"] is not None and b["result"] is not None:
            assert a["result"]["variables"] == b["result"]["variables"]


def test_command_line_takes_folders(folders, capsys):
    d1, d2 = folders
    assert cli.main([str(d1), str(d2)]) == 2
    out = capsys.readouterr().out.splitlines()
    assert out[1:3] == ["only_in_dir2  extra.nc", "identical     grid.nc"]
    assert out[-1] == "6 pairs: 1 identical, 1 differ, 2 failed, 1 only in dir1, 1 only in dir2"
    # The module form, as a person runs it.
    done = subprocess.run([sys.executable, "-m", "kavro", str(d1 / "sub"), str(d2 / "sub")],
                          capture_output=True, text=True, timeout=SECONDS)
    assert done.returncode == 2, done.stderr
    assert done.stdout.splitlines()[:2] == ["differ        diff.nc  cells",
                                            "failed        other.nc  " + by_tool_reason(d1, d2)]


def by_tool_reason(d1, d2):
    """The reason the tool gives for the ill-fitting pair."""
    result = kavro.compare_folders(d1 / "sub", d2 / "sub", include=["other.nc"])
    return result.pairs[0]["reason"]
