"""The xarray engine "kavro" against xarray's own netCDF engine on the same files, on a native
binary copy and on a file list; laziness."""

import numpy
import pytest
import xarray

import kavro
from kavro import xarray_backend
from grid_values import NCOLS, NLAYS, NROWS, VARIABLES, expected

REFERENCE_ENGINES = [e for e in ("netcdf4", "scipy") if e in xarray.backends.list_engines()]


def kavro_dataset(path, **options):
    return xarray.open_dataset(path, engine="kavro", **options)


def test_engine_is_registered():
    engines = xarray.backends.list_engines()
    assert isinstance(engines["kavro"], xarray_backend.KavroBackendEntrypoint)
    entry = engines["kavro"]
    assert entry.guess_can_open("BIN:/data/run.bin") and entry.guess_can_open("LIST:A,B")
    assert not entry.guess_can_open("/data/run.nc")


@pytest.mark.parametrize("engine", REFERENCE_ENGINES)
def test_same_values_as_the_netcdf_engine(files, engine):
    with kavro_dataset(files / "grid.nc") as ds, \
            xarray.open_dataset(files / "grid.nc", engine=engine, mask_and_scale=False,
                                decode_times=False) as ref:
        assert dict(ds.sizes) == {"time": 3, "layer": NLAYS, "row": NROWS, "column": NCOLS}
        for name, dtype in VARIABLES:
            assert ds[name].dims == ("time", "layer", "row", "column")
            assert ds[name].dtype == dtype == ref[name].dtype
            numpy.testing.assert_array_equal(ds[name].values, ref[name].values)
            assert ds[name].attrs["units"] == ref[name].attrs["units"].strip()
        # The time axis is the flags, decoded.
        flags = ref["TFLAG"].values[:, 0, :]
        numpy.testing.assert_array_equal(ds["time"].values,
                                         kavro.datetimes(flags.tolist()).astype("datetime64[ns]"))
        for att in ("NCOLS", "NROWS", "NLAYS", "GDTYP", "P_ALP", "P_BET", "XORIG", "YORIG",
                    "XCELL", "YCELL", "SDATE", "STIME", "TSTEP", "VGTYP", "VGTOP"):
            assert ds.attrs[att] == numpy.asarray(ref.attrs[att]).item(), att
        assert ds.attrs["GDNAM"] == ref.attrs["GDNAM"].strip()
        numpy.testing.assert_array_equal(ds.attrs["VGLVLS"], ref.attrs["VGLVLS"])
        numpy.testing.assert_array_equal(ds["x"].values, -30000 + 12000 * (numpy.arange(5) + 0.5))


def test_native_binary_copy(files):
    with kavro_dataset(files / "grid.nc") as nc, kavro_dataset(f"BIN:{files / 'grid.bin'}") as b:
        for name, _ in VARIABLES:
            numpy.testing.assert_array_equal(b[name].values, nc[name].values)
            assert b[name].dtype == nc[name].dtype
        numpy.testing.assert_array_equal(b["time"].values, nc["time"].values)
        assert b.attrs["GDNAM"] == "PY_GRID" and b.attrs["NLAYS"] == NLAYS


def test_file_list_concatenates_steps(files):
    names = {"PYX_A": files / "grid.nc", "PYX_B": files / "day2.nc"}
    with kavro_dataset("LIST:PYX_A,PYX_B", names=names) as ds:
        assert ds.sizes["time"] == 5
        assert str(ds["time"].values[-1]) == "2024-02-02T04:00:00.000000000"
        for k in range(5):
            numpy.testing.assert_array_equal(ds["O3"][k].values, expected("O3", k + 1))


def test_other_file_types_are_refused(files):
    path = files / "boundary.nc"
    with pytest.raises(ValueError) as refused:
        kavro_dataset(path)
    assert str(refused.value) == (f"{path}: a BNDARY3 file (file type 2) is not gridded; the "
                                  "kavro engine opens only gridded files (read this one with "
                                  "kavro.open)")


def test_location_coordinates(files):
    with kavro_dataset(files / "grid.nc", stack=files / "stack.nc") as ds, \
            kavro.open(files / "stack.nc") as s:
        assert ds["latitude"].dims == ("row", "column")
        numpy.testing.assert_array_equal(ds["latitude"].values, s.read("LATITUDE", 0)[0])
        numpy.testing.assert_array_equal(ds["longitude"].values, s.read("LONGITUDE", 0)[0])
    with pytest.raises(ValueError, match="location file .*: 6 x 4 cells, the data 5 x 4"):
        kavro_dataset(files / "grid.nc", stack=files / "other_grid.nc")


def test_nothing_is_read_before_use(files, monkeypatch):
    calls = []
    real = kavro.File.read_into

    def counting(self, var, vtype, step, layer, out):
        calls.append((var, step[1] // 10000, layer))
        return real(self, var, vtype, step, layer, out)

    monkeypatch.setattr(kavro.File, "read_into", counting)
    with kavro_dataset(files / "grid.nc") as ds:
        assert calls == []
        one = ds["TEMP"][1, 2].values  # one step, one layer
        assert calls == [("TEMP", 1, 3)]
        numpy.testing.assert_array_equal(one, expected("TEMP", 2, [3])[0])
        calls.clear()
        ds["TEMP"][-1, -1].values
        assert calls == [("TEMP", 2, 3)]
        calls.clear()
        part = ds["O3"][0:2, :, 1:3, 4].values
        assert calls == [("O3", 0, -1), ("O3", 1, -1)]
        numpy.testing.assert_array_equal(part, numpy.stack(
            [expected("O3", k)[:, 1:3, 4] for k in (1, 2)]))
        calls.clear()
        assert ds["COUNT"][:, :, 0, 0].shape == (3, NLAYS) and calls == []
        assert ds["O3"][0:0].values.shape == (0, NLAYS, NROWS, NCOLS)


def test_dask_chunks_read_lazily(files):
    with kavro_dataset(files / "grid.nc", chunks={"time": 1}) as ds:
        assert ds["O3"].chunks[0] == (1, 1, 1)
        numpy.testing.assert_allclose(ds["O3"].sum("time").values,
                                      sum(expected("O3", k) for k in (1, 2, 3)), rtol=1e-6)


def decoded_time(ds):
    return ds["time"].values.tolist() == numpy.array(
        ["2024-02-02T00", "2024-02-02T01", "2024-02-02T02"], dtype="datetime64[ns]").tolist()


@pytest.mark.parametrize("options, check", [
    ({}, decoded_time),
    # Undecoded, the time is CF's numbers, and xarray's decoder reads them back.
    ({"decode_times": False}, lambda ds: ds["time"].values.tolist() == [0, 3600, 7200]
     and ds["time"].attrs["units"] == "seconds since 2024-02-02 00:00:00"
     and decoded_time(xarray.decode_cf(ds))),
    ({"use_cftime": False, "decode_timedelta": False}, decoded_time),
    # Nothing in these files for these to act on; taken, and the Dataset is as without them.
    ({"mask_and_scale": False, "decode_coords": False, "concat_characters": False,
      "autoclose": True, "format": "NETCDF3_CLASSIC"},
     lambda ds: decoded_time(ds) and ds["O3"].dtype == numpy.float32),
    ({"drop_variables": ["TEMP"]}, lambda ds: "TEMP" not in ds and "O3" in ds),
    # Rows, columns and layers are numbered from 1, as every report numbers them.
    ({}, lambda ds: ds["row"].values.tolist() == [1, 2, 3, 4]
     and ds["column"].values.tolist() == [1, 2, 3, 4, 5] and ds["layer"].values.tolist() == [1, 2, 3]
     and ds["O3"].sel(time="2024-02-02T01", layer=2, row=3, column=4).item()
     == expected("O3", 2)[1, 2, 3]),
])
def test_xarray_keywords(files, options, check):
    with kavro_dataset(files / "grid.nc", **options) as ds:
        assert check(ds)


def test_groups_are_refused(files):
    with pytest.raises(kavro.SettingError, match="group='/a': kavro files have no groups"):
        kavro_dataset(files / "grid.nc", group="/a")


def copy_of(ds, path, engine=None):
    kavro.to_netcdf(ds, path, engine=engine)
    return kavro_dataset(path)


@pytest.mark.parametrize("source, options, write", [
    ("grid.nc", {}, copy_of),
    ("grid.nc", {}, lambda ds, path: copy_of(ds, path, engine="scipy")),
    ("diff.nc", {"decode_times": False}, copy_of),
    ("BIN:grid.bin", {"use_cftime": True}, copy_of),
    ("grid.nc", {}, lambda ds, path: ds.kavro.to_netcdf(path) or kavro_dataset(path)),
])
def test_written_back_opens_and_compares(files, tmp_path, source, options, write):
    path = f"BIN:{files}/{source[4:]}" if source.startswith("BIN:") else files / source
    copy = tmp_path / "copy.nc"
    with kavro_dataset(path, **options) as ds, write(ds, copy) as back, \
            kavro_dataset(path) as decoded:
        assert back.identical(decoded)
    result = kavro.compare(path, copy, nan_equal=True, max_reports=10)
    assert (result.status, result.exit_status, result.reports) == ("identical", 0, "")


def test_a_selection_is_written_with_its_own_grid(files, tmp_path):
    with kavro_dataset(files / "grid.nc") as ds:
        part = ds.isel(time=[1, 2], layer=slice(1, 3), row=slice(1, 3), column=slice(2, 5))
        with copy_of(part, tmp_path / "part.nc") as back:
            for name in ("O3", "time", "x", "y", "latitude", "longitude"):
                numpy.testing.assert_array_equal(back[name].values, part[name].values)
            numpy.testing.assert_array_equal(back.attrs["VGLVLS"], ds.attrs["VGLVLS"][1:])
        with pytest.raises(ValueError, match="one contiguous run of columns"):
            kavro.to_netcdf(ds.isel(column=[0, 2]), tmp_path / "gaps.nc")
