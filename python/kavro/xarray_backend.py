"""The xarray engine "kavro": xarray.open_dataset(path, engine="kavro") opens a netCDF file,
a native binary file ("BIN:path") or a file list ("LIST:A,B") as a Dataset with dimensions
(time, layer, row, column), a time coordinate from the time-step flags, the grid description
as attributes and lazy variables: nothing is read until values are used, and then only the
steps and layers asked for.

The arrays hold a file manager (xarray's CachingFileManager), never an open file: a Dataset
pickles, and a Dask worker process reopens the file by its path or logical value, with the
logical names the caller defined. The library keeps one state per process, so every read takes
one lock per process.

Options: stack= a location file (path or logical name) whose LATITUDE and LONGITUDE become
coordinates latitude(row, column) and longitude(row, column), computed from the grid's
projection without it; names= logical names to define (the members of a LIST: value). CF
metadata (a grid mapping "crs", standard names) as _cf gives it.

xarray's own keywords keep their meaning: decode_times (False: time holds seconds since the
first step, with CF units), use_cftime, decode_timedelta, mask_and_scale and concat_characters
(the files carry no fill values, scale factors or character arrays, so they change nothing
today), decode_coords, drop_variables, and lock (a lock to take instead of the package's).
Two are taken and ignored: autoclose (the file manager closes files it no longer caches
anyway) and format (a file's kind follows from its value: a path, BIN: or LIST:). group is
refused: these files have no groups.

Written back with a plain ds.to_netcdf(path), the Dataset keeps the engine's dimensions and
coordinates and lacks TFLAG, NVARS and VAR-LIST: the library refuses that file. Write it with
kavro.to_netcdf(ds, path) or ds.kavro.to_netcdf(path) (_writer), which lays it out as the
library reads it.
"""

import os

import numpy
import xarray
from xarray import conventions
from xarray.backends import BackendArray, BackendEntrypoint, CachingFileManager
from xarray.backends.locks import SerializableLock
from xarray.core import indexing

from . import _cf, _errors, _file, _writer

DIMS = tuple(_writer.DIMENSIONS)
# The library may not be called from two threads at once; pickled, a lock is a new one in the
# worker's process.
KAVRO_LOCK = SerializableLock()
_writer.register_accessor()


def reopen(target: str, names=(), mode=None) -> _file.File:  # noqa: ARG001
    """The file manager's opener: in whatever process the array is read in. (An unpickled
    manager hands over a mode even when it was given none.)"""
    return _file.open(target, names=dict(names) if names else None)


# The file types laid out as columns x rows x layers: GRDDED3, the unnamed type 7, PTRFLY3.
_CODE_OF = {name: code for code, name in _file.FILE_TYPES.items()}
GRIDDED_TYPES = (_CODE_OF["GRDDED3"], 7, _CODE_OF["PTRFLY3"])


class KavroArray(BackendArray):
    """One variable of a file: (time, layer, row, column), read step by step."""

    def __init__(self, manager, lock, var: dict, shape, steps):
        self.manager = manager
        self.lock = lock
        self.name = var["name"]
        self.vtype = var["type"]
        self.dtype = var["dtype"]
        self.shape = shape
        self.steps = steps  # (YYYYDDD, HHMMSS) of each time index

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(key, self.shape, indexing.IndexingSupport.BASIC,
                                                  self._raw_getitem)

    def _raw_getitem(self, key):
        t_key, l_key, r_key, c_key = key
        steps = range(self.shape[0])[t_key] if isinstance(t_key, slice) else [t_key]
        # One layer asked for: read that layer alone; otherwise every layer of each step, into
        # one array, then cut.
        one_layer = isinstance(l_key, (int, numpy.integer))
        layers = 1 if one_layer else self.shape[1]
        out = numpy.empty((len(steps), layers) + self.shape[2:], dtype=self.dtype)
        which = int(l_key) + 1 if one_layer else _file.ALL_LAYERS
        with self.lock:
            f = self.manager.acquire()
            for n, k in enumerate(steps):
                f.read_into(self.name, self.vtype, self.steps[k], which, out[n])
        data = out[:, 0] if one_layer else out[:, l_key]
        data = data[..., r_key, c_key]
        return data if isinstance(t_key, slice) else data[0]


def grid_attributes(d: dict) -> dict:
    """The description as the netCDF layout names it in its global attributes."""
    g, p, t, v = d["grid"], d["projection"], d["time"], d["vertical"]
    return {
        "FTYPE": d["file_type"], "file_type": d["file_type_name"], "GDNAM": g["name"],
        "NCOLS": g["ncols"], "NROWS": g["nrows"], "NLAYS": v["layers"], "NTHIK": g["nthik"],
        "GDTYP": p["type"], "P_ALP": p["alpha"], "P_BET": p["beta"], "P_GAM": p["gamma"],
        "XCENT": p["xcent"], "YCENT": p["ycent"], "XORIG": g["xorig"], "YORIG": g["yorig"],
        "XCELL": g["xcell"], "YCELL": g["ycell"], "VGTYP": v["type"],
        "VGTOP": numpy.float32(v["top"]), "VGLVLS": numpy.asarray(v["levels"], dtype="f4"),
        "SDATE": t["start"][0], "STIME": t["start"][1], "TSTEP": t["step"],
        "FILEDESC": "\n".join(d["lines"]),
    }


def location_coords(stack, names, grid: dict) -> dict:
    with _file.open(stack, names=names) as s:
        sg = s.description["grid"]
        if (sg["ncols"], sg["nrows"]) != (grid["ncols"], grid["nrows"]):
            raise ValueError(f"location file {stack}: {sg['ncols']} x {sg['nrows']} cells, the "
                             f"data {grid['ncols']} x {grid['nrows']}")
        return {name.lower(): xarray.Variable(("row", "column"), s.read(name, 0, layer=1)[0],
                                              {"units": s._variable(name)["units"]})
                for name in ("LATITUDE", "LONGITUDE")}


def time_variable(times: numpy.ndarray) -> xarray.Variable:
    """The steps (datetime64[s]) as CF encodes them: seconds since the first step."""
    origin = times[0] if len(times) else numpy.datetime64("1970-01-01T00:00:00", "s")
    seconds = (times - origin).astype("int64")
    return xarray.Variable(("time",), seconds, {
        "units": f"seconds since {str(origin).replace('T', ' ')}",
        "calendar": "proleptic_gregorian", "standard_name": "time"})


# The range of times numpy's datetime64[ns] holds, with a margin.
NS_RANGE = (numpy.datetime64("1678-01-01", "s"), numpy.datetime64("2262-01-01", "s"))


def decoded_time(times: numpy.ndarray, raw: xarray.Variable, decoders: dict):
    """The time axis decoded as xarray's default decoder gives it (datetime64[ns]; units and
    calendar moved to the encoding) without that decoder, which costs more than the rest of
    an open; None when the decoders ask for something else (decode_times=False, cftime) or
    a step is out of datetime64[ns]'s range: xarray decodes it then."""
    if decoders.get("decode_times", True) is not True or decoders.get("use_cftime") not in (
            None, False):
        return None
    if len(times) and (times.min() < NS_RANGE[0] or times.max() > NS_RANGE[1]):
        return None
    attrs = dict(raw.attrs)
    encoding = {"units": attrs.pop("units"), "calendar": attrs.pop("calendar"),
                "dtype": raw.dtype}
    return xarray.Variable(raw.dims, times.astype("datetime64[ns]"), attrs, encoding)


def raw_variables(f: _file.File, times, manager, lock, stack, names) -> dict:
    """Every variable and coordinate of the file as stored, before xarray's decoding (TIMES:
    the steps as datetime64[s])."""
    d = f.description
    g = d["grid"]
    shape = (len(f.step_pairs), d["vertical"]["layers"], g["nrows"], g["ncols"])
    variables = {
        v["name"]: xarray.Variable(
            DIMS, indexing.LazilyIndexedArray(KavroArray(manager, lock, v, shape, f.step_pairs)),
            {"units": v["units"], "long_name": v["name"], "var_desc": v["description"]})
        for v in d["variables"]}
    variables.update({
        "time": time_variable(times),
        "layer": xarray.Variable(("layer",), numpy.arange(1, shape[1] + 1, dtype="i4")),
        # 1-based, as every report numbers rows and columns.
        "row": xarray.Variable(("row",), numpy.arange(1, g["nrows"] + 1, dtype="i4")),
        "column": xarray.Variable(("column",), numpy.arange(1, g["ncols"] + 1, dtype="i4")),
        "x": xarray.Variable(("column",), g["xorig"] + (numpy.arange(g["ncols"]) + 0.5) * g["xcell"],
                             {"units": "m", "long_name": "projected x of the cell centre"}),
        "y": xarray.Variable(("row",), g["yorig"] + (numpy.arange(g["nrows"]) + 0.5) * g["ycell"],
                             {"units": "m", "long_name": "projected y of the cell centre"}),
    })
    variables.update(location_coords(stack, names, g) if stack is not None else {
        name: xarray.Variable(*coord) for name, coord in _cf.location_coords(d, lock).items()})
    return variables


COORDINATES = ("time", "layer", "row", "column", "x", "y", "latitude", "longitude")


def open_kavro_dataset(filename, *, stack=None, names=None, lock=None, decoders=None):
    """The Dataset of FILENAME; DECODERS are xarray's decoding keywords."""
    names_key = tuple(sorted((str(k), os.fspath(v)) for k, v in (names or {}).items()))
    manager = CachingFileManager(reopen, filename, kwargs={"names": names_key})
    try:
        f = manager.acquire()
        d = f.description
        if d["file_type"] not in GRIDDED_TYPES:
            raise ValueError(f"{filename}: a {d['file_type_name']} file (file type "
                             f"{d['file_type']}) is not gridded; the kavro engine opens only "
                             f"gridded files (read this one with kavro.open)")
        times = f.steps
        variables = raw_variables(f, times, manager, lock or KAVRO_LOCK, stack, names)
        time = decoded_time(times, variables["time"], decoders or {})
        if time is not None:
            variables["time"] = time
        attrs = grid_attributes(f.description)
        variables, attrs, coord_names = conventions.decode_cf_variables(
            variables, attrs, **(decoders or {}))
        coordinates = set(COORDINATES) | set(coord_names)
        _cf.apply(variables, attrs, coordinates, d)
        # The data variables, then the coordinates, in the order they were made.
        ds = xarray.Dataset({n: v for n, v in variables.items() if n not in coordinates},
                            {n: v for n, v in variables.items() if n in coordinates}, attrs)
    except BaseException:
        manager.close()
        raise
    ds.set_close(manager.close)
    return ds


class KavroBackendEntrypoint(BackendEntrypoint):
    """xarray's engine "kavro"."""

    description = (f"The kavro library's gridded files: netCDF, native binary "
                   f"({_file.BINARY_PREFIX}) and file lists ({_file.LIST_PREFIX}), with decoded "
                   "time steps; other file types are refused")
    open_dataset_parameters = ["filename_or_obj", "drop_variables", "mask_and_scale",
                               "decode_times", "concat_characters", "decode_coords",
                               "use_cftime", "decode_timedelta", "stack", "names", "lock",
                               "autoclose", "format", "group"]

    def open_dataset(self, filename_or_obj, *, drop_variables=None, mask_and_scale=True,
                     decode_times=True, concat_characters=True, decode_coords=True,
                     use_cftime=None, decode_timedelta=None, stack=None, names=None, lock=None,
                     autoclose=False, format=None, group=None):  # noqa: A002 - xarray's name
        if group is not None:
            raise _errors.SettingError(f"group={group!r}: kavro files have no groups", "group")
        decoders = {"drop_variables": drop_variables, "mask_and_scale": mask_and_scale,
                    "decode_times": decode_times, "concat_characters": concat_characters,
                    "decode_coords": decode_coords, "use_cftime": use_cftime,
                    "decode_timedelta": decode_timedelta}
        return open_kavro_dataset(os.fspath(filename_or_obj), stack=stack, names=names,
                                  lock=lock, decoders=decoders)

    def guess_can_open(self, filename_or_obj):
        # netCDF files are left to the netCDF engines unless engine="kavro" is asked for.
        return isinstance(filename_or_obj, str) and filename_or_obj.startswith(
            (_file.BINARY_PREFIX, _file.LIST_PREFIX))
