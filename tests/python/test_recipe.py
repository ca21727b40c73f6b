"""The README's recipes, run exactly as the README gives them (the code is read from the
README, not copied here): the files they write open and compare with the tool. Two data files
and no location file: every differing cell is reported with the REAL nearest pyproj's latitude
and longitude, on a Lambert conformal and on a polar stereographic grid."""

import os
import pathlib
import re
import shutil
import subprocess

import netCDF4
import numpy
import pyproj
import pytest

from kavro import _compare

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def recipe(name):
    text = README.read_text()
    found = re.search(r"<!-- recipe: " + re.escape(name) + r" -->\n```python\n(.*?)```", text,
                      re.S)
    assert found, f"the README has no recipe {name}"
    return found.group(1)


def test_manual_page_gives_the_same_recipes():
    page = (README.parents[0] / "man" / "kavro-files.5.in").read_text()
    for name in ("netCDF4-python", "kavro.create"):
        found = re.search(r'\.\\" recipe: ' + re.escape(name) + r"\n\.in \+4n\n\.EX\n(.*?)\.EE",
                          page, re.S)
        assert found, name
        assert found.group(1).replace("\\-", "-").replace("\\e", "\\") == recipe(name)


def run_recipe(name, folder):
    cwd = os.getcwd()
    os.chdir(folder)
    try:
        exec(compile(recipe(name), f"README recipe {name}", "exec"), {})
    finally:
        os.chdir(cwd)


def brindlewick(folder, *args):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("BRINDLEWICK_", "STACK1", "INFILE", "KAVRO_"))}
    env["LOGFILE"] = str(folder / "compare.log")
    if (folder / "compare.log").exists():
        (folder / "compare.log").unlink()
    return subprocess.run([_compare.find_brindlewick(), *map(str, args)], cwd=folder, env=env,
                          capture_output=True, text=True)


def reports(stdout):
    """(column, row, latitude, longitude) of each two-line report after the banner."""
    nums = re.findall(r"^\s+(-?\d+)\s+(-?\d+)\s+(\S+)\s+(\S+)\s+\S+\s*$", stdout, re.M)
    return [(int(c), int(r), float(lat), float(lon)) for c, r, lat, lon in nums]


def test_both_recipes_write_files_the_tool_compares(tmp_path):
    run_recipe("netCDF4-python", tmp_path)
    run_recipe("kavro.create", tmp_path)
    done = brindlewick(tmp_path, "run1.nc", "run2.nc")
    assert done.returncode == 0, done.stderr + (tmp_path / "compare.log").read_text()
    assert reports(done.stdout) == []


# A changed cell per case: (grid attributes, column, row).
GRIDS = {
    "lambert": ({}, dict(proj="lcc", lat_1=30, lat_2=60, lat_0=40, lon_0=-90), (-90, 40)),
    "polar": ({"GDTYP": numpy.int32(6), "P_ALP": 1.0, "P_BET": 60.0, "P_GAM": -98.0,
               "XCENT": -98.0, "YCENT": 90.0, "XORIG": -3e6, "YORIG": -3e6,
               "XCELL": 36000.0, "YCELL": 36000.0},
              dict(proj="stere", lat_0=90, lat_ts=60, lon_0=-98), (-98, 90)),
}


@pytest.mark.parametrize("grid", GRIDS)
def test_reports_place_cells_as_pyproj_does(tmp_path, grid):
    attrs, params, origin = GRIDS[grid]
    run_recipe("netCDF4-python", tmp_path)
    with netCDF4.Dataset(tmp_path / "run1.nc", "a") as nc:
        nc.setncatts(attrs)
    shutil.copy(tmp_path / "run1.nc", tmp_path / "run2.nc")
    with netCDF4.Dataset(tmp_path / "run2.nc", "a") as nc:
        nc["O3"][1, 0, 2, 3] = 1.0  # row 3, column 4 at the second step
        nc["O3"][2, 0, 0, 0] = 1.0
        xorig, yorig, xcell, ycell = (float(nc.getncattr(k))
                                      for k in ("XORIG", "YORIG", "XCELL", "YCELL"))
    done = brindlewick(tmp_path, "run1.nc", "run2.nc")
    assert done.returncode == 0, done.stderr
    got = reports(done.stdout)
    assert [(c, r) for c, r, _, _ in got] == [(4, 3), (1, 1)]
    proj = pyproj.Proj(dict(params, R=6370000.0))
    x0, y0 = proj(*origin)
    for c, r, lat, lon in got:
        want_lon, want_lat = proj(xorig + (c - 0.5) * xcell + x0, yorig + (r - 0.5) * ycell + y0,
                                  inverse=True)
        # The report prints the REAL with seven significant digits.
        assert lat == pytest.approx(float(f"{numpy.float32(want_lat):.7g}"), abs=1e-5)
        assert lon == pytest.approx(float(f"{numpy.float32(want_lon):.7g}"), abs=1e-5)
