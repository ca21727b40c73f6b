"""Cell locations from a grid's projection (kavro.grid_locations, the library's own
computation that brindlewick, make_stack and the xarray engine share), checked against an
independent computation with pyproj: the origin (XCENT, YCENT) projected for the offset, then
every cell centre through the inverse projection, on a sphere of 6 370 000 m."""

import numpy
import pyproj
import pytest

import kavro
from kavro import _cf

R = 6370000.0
NCOLS, NROWS = 7, 5


def description(gdtyp, alpha, beta, gamma, xcent, ycent, xorig, yorig, xcell, ycell):
    return {
        "file_type": 1, "lines": [], "variables": [],
        "grid": {"name": "G", "ncols": NCOLS, "nrows": NROWS, "nthik": 0, "xorig": xorig,
                 "yorig": yorig, "xcell": xcell, "ycell": ycell},
        "projection": {"type": gdtyp, "alpha": alpha, "beta": beta, "gamma": gamma,
                       "xcent": xcent, "ycent": ycent},
        "time": {"start": (2024001, 0), "step": 0},
        "vertical": {"layers": 1, "type": 2, "top": 0.0, "levels": [1.0, 0.0]},
    }


# (grid type, P_ALP, P_BET, P_GAM, XCENT, YCENT, XORIG, YORIG, XCELL, YCELL, the projection
# as pyproj is given it, the origin of x and y as a longitude and latitude; None for UTM)
CASES = {
    "lcc centred": (2, 30, 60, -90, -90, 40, -2e5, -1.5e5, 12000, 12000,
                    dict(proj="lcc", lat_1=30, lat_2=60, lat_0=40, lon_0=-90), (-90, 40)),
    "lcc off centre": (2, 33, 45, -97, -90, 40, -2e5, -1.5e5, 12000, 12000,
                       dict(proj="lcc", lat_1=33, lat_2=45, lat_0=40, lon_0=-97), (-90, 40)),
    "polar north": (6, 1, 60, -98, -98, 90, -4e6, -5e6, 36000, 36000,
                    dict(proj="stere", lat_0=90, lat_ts=60, lon_0=-98), (-98, 90)),
    "polar north off": (6, 1, 45, -98, -100, 55, -2e5, -2e5, 4000, 4000,
                        dict(proj="stere", lat_0=90, lat_ts=45, lon_0=-98), (-100, 55)),
    "polar south off": (6, -1, -71, 0, 10, -60, -2e5, -2e5, 4000, 4000,
                        dict(proj="stere", lat_0=-90, lat_ts=-71, lon_0=0), (10, -60)),
    "mercator centred": (7, 0, 0, -90, -90, 0, -5e5, -5e5, 20000, 20000,
                         dict(proj="merc", lat_ts=0, lon_0=-90), (-90, 0)),
    "mercator off": (7, 20, 0, -90, -85, 10, -5e5, -5e5, 20000, 20000,
                     dict(proj="merc", lat_ts=20, lon_0=-90), (-85, 10)),
    "tangent stereographic": (4, 45, -100, 0, -95, 50, -1e5, -1e5, 5000, 5000,
                              dict(proj="stere", lat_0=45, lon_0=-100), (-95, 50)),
    "transverse mercator": (8, 0, 0.9996, -75, -75, 0, -1e5, 4e6, 5000, 5000,
                            dict(proj="tmerc", lat_0=0, k_0=0.9996, lon_0=-75), (-75, 0)),
    "albers": (9, 29.5, 45.5, -96, -96, 23, -1e6, 1e5, 30000, 30000,
               dict(proj="aea", lat_1=29.5, lat_2=45.5, lat_0=23, lon_0=-96), (-96, 23)),
    "albers off": (9, 29.5, 45.5, -96, -90, 35, -1e5, 1e5, 30000, 30000,
                   dict(proj="aea", lat_1=29.5, lat_2=45.5, lat_0=35, lon_0=-96), (-90, 35)),
    "azimuthal equal area": (10, 50, 0, 10, 10, 50, -3e5, -3e5, 25000, 25000,
                             dict(proj="laea", lat_0=50, lon_0=10), (10, 50)),
    "utm": (5, 17, 0, 0, 500000, 0, -1e5, 4.4e6, 10000, 10000,
            dict(proj="tmerc", lon_0=-81, k_0=0.9996), None),
}


def oracle(case):
    gdtyp, _, _, _, xcent, ycent, xorig, yorig, xcell, ycell, params, origin = case
    x = xorig + (numpy.arange(NCOLS) + 0.5) * xcell
    y = yorig + (numpy.arange(NROWS) + 0.5) * ycell
    xx, yy = numpy.meshgrid(x, y)
    proj = pyproj.Proj(dict(params, R=R))
    # UTM: XCENT, YCENT in metres of the zone, whose false easting is 500 000 m.
    x0, y0 = (xcent - 500000, ycent) if origin is None else proj(*origin)
    return xx, yy, proj(xx + x0, yy + y0, inverse=True)


@pytest.mark.parametrize("name", CASES)
def test_locations_match_pyproj(name):
    case = CASES[name]
    got = kavro.grid_locations(description(*case[:10]))
    xx, yy, (lon, lat) = oracle(case)
    numpy.testing.assert_array_equal(got["XLOCA"], xx)
    numpy.testing.assert_array_equal(got["YLOCA"], yy)
    numpy.testing.assert_allclose(got["LONGITUDE"], lon, rtol=0, atol=1e-9)
    numpy.testing.assert_allclose(got["LATITUDE"], lat, rtol=0, atol=1e-9)
    cols, rows = numpy.meshgrid(numpy.arange(1, NCOLS + 1), numpy.arange(1, NROWS + 1))
    numpy.testing.assert_array_equal(got["COL"], cols)
    numpy.testing.assert_array_equal(got["ROW"], rows)


def test_latitude_longitude_grid_is_its_own_location():
    got = kavro.grid_locations(description(1, 0, 0, 0, 0, 0, -100, 30, 0.5, 0.25))
    numpy.testing.assert_array_equal(got["LONGITUDE"], got["XLOCA"])
    numpy.testing.assert_array_equal(got["LATITUDE"], got["YLOCA"])
    assert got["LONGITUDE"][0, 0] == -99.75 and got["LATITUDE"][0, 0] == 30.125


@pytest.mark.parametrize("gdtyp, name", [(3, "general Mercator"), (42, "unknown")])
def test_unmapped_type_is_refused(gdtyp, name):
    with pytest.raises(kavro.Error, match=rf"no locations for grid type {gdtyp} \({name}\)"):
        kavro.grid_locations(description(gdtyp, 0, 0, 0, 0, 0, 0, 0, 1, 1))


def test_earth_radius_default():
    assert _cf.earth_radius() == R


@pytest.mark.parametrize("name", CASES)
def test_cf_grid_mapping_reads_back_in_pyproj(name):
    """The engine's grid mapping, read by pyproj.CRS.from_cf, places every cell centre where
    the library's locations put it."""
    d = description(*CASES[name][:10])
    crs = pyproj.CRS.from_cf(_cf.grid_mapping(d))
    got = kavro.grid_locations(d)
    to_lonlat = pyproj.Transformer.from_crs(crs, crs.geodetic_crs, always_xy=True)
    lon, lat = to_lonlat.transform(got["XLOCA"], got["YLOCA"])
    numpy.testing.assert_allclose(lon, got["LONGITUDE"], rtol=0, atol=1e-9)
    numpy.testing.assert_allclose(lat, got["LATITUDE"], rtol=0, atol=1e-9)


def test_engine_carries_cf(files):
    """Conventions, a grid mapping named by every data variable, standard names, and latitude
    and longitude from the grid without stack=."""
    import xarray
    with xarray.open_dataset(files / "grid.nc", engine="kavro") as ds:
        assert ds.attrs["Conventions"] == "CF-1.8"
        assert all(v.attrs["grid_mapping"] == "crs" for v in ds.data_vars.values())
        assert ds["x"].attrs["standard_name"] == "projection_x_coordinate"
        assert ds["y"].attrs["standard_name"] == "projection_y_coordinate"
        assert ds["time"].attrs["standard_name"] == "time"
        assert ds["latitude"].attrs["standard_name"] == "latitude"
        assert ds["longitude"].attrs["units"] == "degrees_east"
        crs = pyproj.CRS.from_cf(ds["crs"].attrs)
        lon, lat = pyproj.Transformer.from_crs(crs, crs.geodetic_crs, always_xy=True).transform(
            *numpy.meshgrid(ds["x"].values, ds["y"].values))
        numpy.testing.assert_allclose(lat, ds["latitude"].values, rtol=0, atol=1e-9)
        numpy.testing.assert_allclose(lon, ds["longitude"].values, rtol=0, atol=1e-9)


def test_engine_computes_locations_on_first_read(files, monkeypatch):
    """latitude and longitude are computed once, when first read, not at the open, and a
    pickled Dataset (as Dask's workers get it) computes its own, the same."""
    import pickle
    import xarray
    calls = []
    compute = _cf.grid_locations
    monkeypatch.setattr(_cf, "grid_locations", lambda d: calls.append(d) or compute(d))
    with kavro.open(files / "grid.nc") as f:
        got = compute(f.description)
    with xarray.open_dataset(files / "grid.nc", engine="kavro") as ds:
        assert calls == []
        copy = pickle.loads(pickle.dumps(ds))
        for name in ("latitude", "longitude"):
            numpy.testing.assert_array_equal(ds[name].values, got[name.upper()])
            assert ds[name].isel(row=1, column=2).item() == got[name.upper()][1, 2]
        assert len(calls) == 1
        for name in ("latitude", "longitude"):
            numpy.testing.assert_array_equal(copy[name].values, got[name.upper()])
        assert len(calls) == 2
