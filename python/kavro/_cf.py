"""CF metadata for the xarray engine: the grid mapping variable "crs" of a grid type, the
standard names of the coordinates, and latitude and longitude computed from the grid's own
projection (the library's computation, as brindlewick makes it without a location file)."""

import numpy
import xarray

from . import _errors, _kavro, _log

CONVENTIONS = "CF-1.8"
GRID_MAPPING = "crs"


def _projected(p: dict) -> dict | None:
    """The CF attributes of a projected grid type, without the offsets; None when CF names
    no such projection."""
    a, b, g = p["alpha"], p["beta"], p["gamma"]
    by_type = {
        2: {"grid_mapping_name": "lambert_conformal_conic", "standard_parallel": [a, b],
            "longitude_of_central_meridian": g, "latitude_of_projection_origin": p["ycent"]},
        4: {"grid_mapping_name": "stereographic", "latitude_of_projection_origin": a,
            "longitude_of_projection_origin": b, "scale_factor_at_projection_origin": 1.0},
        5: {"grid_mapping_name": "transverse_mercator", "latitude_of_projection_origin": 0.0,
            "longitude_of_central_meridian": 6.0 * round(a) - 183.0,
            "scale_factor_at_central_meridian": 0.9996},
        6: {"grid_mapping_name": "polar_stereographic",
            "latitude_of_projection_origin": -90.0 if a < 0 else 90.0,
            "straight_vertical_longitude_from_pole": g, "standard_parallel": b},
        7: {"grid_mapping_name": "mercator", "longitude_of_projection_origin": g,
            "standard_parallel": a},
        8: {"grid_mapping_name": "transverse_mercator", "latitude_of_projection_origin": a,
            "scale_factor_at_central_meridian": b, "longitude_of_central_meridian": g},
        9: {"grid_mapping_name": "albers_conical_equal_area", "standard_parallel": [a, b],
            "longitude_of_central_meridian": g, "latitude_of_projection_origin": p["ycent"]},
        10: {"grid_mapping_name": "lambert_azimuthal_equal_area",
             "latitude_of_projection_origin": a, "longitude_of_projection_origin": g},
    }
    return by_type.get(p["type"])


def grid_locations(description: dict) -> dict:
    """Every cell's COL, ROW, XLOCA, YLOCA, LATITUDE and LONGITUDE (float64 arrays, row x
    column) from a description's grid and projection, as brindlewick computes them when no
    location file is given. A grid type that cannot be mapped raises kavro.Error."""
    _log.check_logfile()
    return _kavro.grid_locations(description)


def earth_radius() -> float:
    """The radius (m) of the sphere locations are computed on (KAVRO_EARTH_RADIUS)."""
    _log.check_logfile()
    return _kavro.earth_radius()


def grid_mapping(description: dict) -> dict | None:
    """The attributes of the grid mapping variable, or None for a grid type CF cannot name."""
    # The first call of the library in a process may be this one: LOGFILE is checked first.
    _log.check_logfile()
    p = description["projection"]
    if p["type"] == 1:
        attrs = {"grid_mapping_name": "latitude_longitude"}
    else:
        attrs = _projected(p)
        if attrs is None:
            return None
        # x and y count from the origin (XCENT, YCENT); UTM's zone keeps its false easting.
        x0, y0 = _kavro.grid_origin_offset(description)
        attrs["false_easting"] = (500000.0 if p["type"] == 5 else 0.0) - x0
        attrs["false_northing"] = -y0
    attrs["earth_radius"] = earth_radius()
    return attrs


def location_coords(description: dict) -> dict:
    """latitude and longitude (row, column) from the grid's projection; none for a grid type
    that cannot be mapped (the library's log says which)."""
    try:
        loc = grid_locations(description)
    except _errors.Error:
        return {}
    return {"latitude": (("row", "column"), loc["LATITUDE"]),
            "longitude": (("row", "column"), loc["LONGITUDE"])}


_STANDARD = {
    "time": {"standard_name": "time"},
    "latitude": {"standard_name": "latitude", "units": "degrees_north"},
    "longitude": {"standard_name": "longitude", "units": "degrees_east"},
    "x": {"standard_name": "projection_x_coordinate", "units": "m"},
    "y": {"standard_name": "projection_y_coordinate", "units": "m"},
}


def apply(ds: xarray.Dataset, description: dict) -> xarray.Dataset:
    """Conventions, standard names, and the grid mapping every data variable names."""
    ds.attrs["Conventions"] = CONVENTIONS
    for name, attrs in _STANDARD.items():
        if name in ds.variables:
            ds[name].attrs.update(attrs)
    if description["projection"]["type"] == 1:  # x and y are longitude and latitude
        ds["x"].attrs.update(standard_name="longitude", units="degrees_east")
        ds["y"].attrs.update(standard_name="latitude", units="degrees_north")
    attrs = grid_mapping(description)
    if attrs is None:
        return ds
    for var in ds.data_vars.values():
        var.attrs["grid_mapping"] = GRID_MAPPING
    ds.coords[GRID_MAPPING] = xarray.Variable((), numpy.int32(0), attrs)
    return ds
