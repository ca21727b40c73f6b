"""File.write and kavro.create: round trips through the module for each writable kind
(netCDF, native binary, memory-resident), and refused writes."""

import numpy
import pytest

import kavro
from grid_values import VARIABLES, expected

STEPS = [(2024033, 0), (2024033, 10000), (2024033, 20000)]


def written_value(name, rec):
    # Not the fixture's values, so a read of the source file cannot pass for a read back.
    return expected(name, rec) * 2 + 1


@pytest.mark.parametrize("kind", ["netcdf", "binary", "memory"])
def test_round_trip(files, tmp_path, monkeypatch, kind):
    target = {"netcdf": str(tmp_path / "out.nc"), "binary": f"BIN:{tmp_path / 'out.bin'}",
              "memory": "PY_BUFFER"}[kind]
    monkeypatch.setenv("PY_BUFFER", "BUFFERED")
    with kavro.open(files / "grid.nc") as src:
        desc = src.description
    variables = VARIABLES
    if kind == "memory":
        # Memory-resident files hold no DOUBLE PRECISION variables.
        desc = dict(desc, variables=[v for v in desc["variables"] if v["name"] != "TEMP"])
        variables = [v for v in VARIABLES if v[0] != "TEMP"]
    out = kavro.create(target, desc)
    for rec, step in enumerate(STEPS, start=1):
        for name, _ in variables:
            out.write(name, step if rec != 3 else kavro.datetimes([step])[0],
                      written_value(name, rec))
        # Read back at once: a memory-resident file keeps only its latest steps.
        for name, _ in variables:
            numpy.testing.assert_array_equal(out.read(name, step), written_value(name, rec))
    if kind == "memory":
        out.close()
        return
    out.close()
    with kavro.open(target) as back:
        assert back.step_pairs == STEPS
        got = back.description
        for part in ("file_type", "grid", "projection", "vertical", "lines", "variables"):
            assert got[part] == desc[part], part
        for rec in range(1, 4):
            for name, dtype in variables:
                values = back.read(name, rec - 1)
                assert values.dtype == dtype
                numpy.testing.assert_array_equal(values, written_value(name, rec))


def test_refused_writes(files, tmp_path):
    with kavro.open(files / "grid.nc") as src:
        desc = src.description
        with pytest.raises(kavro.Error) as e:
            src.write("O3", STEPS[0], expected("O3", 1))
        assert (e.value.routine, e.value.reason) == (
            "WRITE3", f"File opened read-only:  {src.logical_name}")
    with kavro.create(tmp_path / "new.nc", desc) as out:
        with pytest.raises(TypeError, match='variable "COUNT" holds int32, not float64'):
            out.write("COUNT", STEPS[0], expected("TEMP", 1))
        with pytest.raises(ValueError, match='variable "O3" takes 60 values a step, not 20'):
            out.write("O3", STEPS[0], expected("O3", 1, [1]))
        # float64 data for a REAL variable is rounded to float32.
        out.write("O3", STEPS[0], expected("O3", 1).astype(numpy.float64))
        numpy.testing.assert_array_equal(out.read("O3", 0), expected("O3", 1))
    with pytest.raises(kavro.Error):
        kavro.create(tmp_path / "new.nc", desc)  # exists already
    with pytest.raises(ValueError, match="mode 'r'"):
        kavro.create(tmp_path / "other.nc", desc, mode="r")


def test_model_date_time():
    assert kavro.model_date_time(numpy.datetime64("2024-12-31T23:59:59")) == (2024366, 235959)
    assert kavro.model_date_time(numpy.datetime64("1969-12-31T01:02:03")) == (1969365, 10203)
