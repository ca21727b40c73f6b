"""CF metadata for the xarray engine: the grid mapping variable "crs" of a grid type, the
standard names of the coordinates, and latitude and longitude computed from the grid's own
projection (the library's computation, as brindlewick makes it without a location file)."""

import numpy
import xarray
from xarray.backends import BackendArray
from xarray.core import indexing

from . import _errors, _kavro, _log

CONVENTIONS = "CF-1.8"
GRID_MAPPING = "crs"


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
    return _mapping(description)[0]


def _mapping(description: dict) -> tuple:
    """The grid mapping's attributes (or None) and whether x and y are projected."""
    # The first call of the library in a process may be this one: LOGFILE is checked first.
    _log.check_logfile()
    # The library's grid-type rows give the mapping; x and y of a projected type count from
    # the origin (XCENT, YCENT), and UTM's zone keeps its false easting.
    attrs, projected = _kavro.grid_mapping(description)
    if attrs is not None:
        attrs["earth_radius"] = earth_radius()
    return attrs, projected


class CellLocations:
    """Every cell's latitude and longitude from the grid's projection, computed on first use
    under LOCK (the library takes one call at a time) and kept; pickled (for Dask's workers)
    without them, so that the process that reads them computes its own."""

    def __init__(self, description: dict, lock):
        self.description = description
        self.lock = lock
        self._values = None

    def __getstate__(self):
        return {"description": self.description, "lock": self.lock}

    def __setstate__(self, state):
        self.__init__(state["description"], state["lock"])

    def get(self, name: str) -> numpy.ndarray:
        if self._values is None:
            with self.lock:
                self._values = grid_locations(self.description)
        return self._values[name]


class LocationArray(BackendArray):
    """LATITUDE or LONGITUDE (row, column) of CellLocations, as xarray's lazy array."""

    def __init__(self, locations: CellLocations, name: str, shape: tuple):
        self.locations = locations
        self.name = name
        self.shape = shape
        self.dtype = numpy.dtype("float64")

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(key, self.shape, indexing.IndexingSupport.BASIC,
                                                  self._raw_getitem)

    def _raw_getitem(self, key):
        return self.locations.get(self.name)[key]


# The projections (grid type, parameters, sphere) the library has mapped in this process, so
# that the files of one grid (open_mfdataset) check theirs once; a failure is checked, and
# logged, every time.
_MAPPED = set()


def location_coords(description: dict, lock) -> dict:
    """latitude and longitude (row, column) from the grid's projection, computed when first
    read; none for a grid type that cannot be mapped (the library's log says which)."""
    # Whether the grid maps at all: the projection and its origin, without the cells.
    _log.check_logfile()
    p = description["projection"]
    key = (p["type"], p["alpha"], p["beta"], p["gamma"], p["xcent"], p["ycent"],
           _kavro.earth_radius())
    if key not in _MAPPED:
        try:
            _kavro.grid_origin_offset(description)
        except _errors.Error:
            return {}
        _MAPPED.add(key)
    g = description["grid"]
    shape = (max(g["nrows"], 0), max(g["ncols"], 0))
    locations = CellLocations(description, lock)
    return {name.lower(): (("row", "column"), indexing.LazilyIndexedArray(
        LocationArray(locations, name, shape))) for name in ("LATITUDE", "LONGITUDE")}


_STANDARD = {
    "time": {"standard_name": "time"},
    "latitude": {"standard_name": "latitude", "units": "degrees_north"},
    "longitude": {"standard_name": "longitude", "units": "degrees_east"},
    "x": {"standard_name": "projection_x_coordinate", "units": "m"},
    "y": {"standard_name": "projection_y_coordinate", "units": "m"},
}


def apply(variables: dict, attrs: dict, coordinates: set, description: dict) -> None:
    """Conventions, standard names, and the grid mapping every data variable (every variable
    not in coordinates) names, on the decoded variables before they make a Dataset; the grid
    mapping variable is added to variables and coordinates."""
    attrs["Conventions"] = CONVENTIONS
    for name, standard in _STANDARD.items():
        if name in variables:
            variables[name].attrs.update(standard)
    mapping, projected = _mapping(description)
    if mapping is not None and not projected:  # x and y are longitude and latitude
        variables["x"].attrs.update(standard_name="longitude", units="degrees_east")
        variables["y"].attrs.update(standard_name="latitude", units="degrees_north")
    if mapping is None:
        return
    for name, var in variables.items():
        if name not in coordinates:
            var.attrs["grid_mapping"] = GRID_MAPPING
    variables[GRID_MAPPING] = xarray.Variable((), numpy.int32(0), mapping)
    coordinates.add(GRID_MAPPING)
