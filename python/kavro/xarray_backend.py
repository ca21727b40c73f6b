"""The xarray engine "kavro": xarray.open_dataset(path, engine="kavro") opens a netCDF file,
a native binary file ("BIN:path") or a file list ("LIST:A,B") as a Dataset with dimensions
(time, layer, row, column), a time coordinate decoded from the time-step flags, the grid
description as attributes and lazy variables: nothing is read until values are used, and
then only the steps and layers asked for, through File.read.

Options: stack= a location file (path or logical name) whose LATITUDE and LONGITUDE become
coordinates latitude(row, column) and longitude(row, column), computed from the grid's
projection without it; names= logical names to define (the members of a LIST: value). CF
metadata (a grid mapping "crs", standard names) as _cf gives it.
"""

import os

import numpy
import xarray
from xarray.backends import BackendArray, BackendEntrypoint
from xarray.core import indexing

from . import _cf, _file

DIMS = ("time", "layer", "row", "column")


class KavroArray(BackendArray):
    """One variable of an open file: (time, layer, row, column), read step by step."""

    def __init__(self, file: _file.File, var: dict, layers: int):
        self.file = file
        self.name = var["name"]
        self.dtype = var["dtype"]
        grid = file.description["grid"]
        self.shape = (len(file.step_pairs), layers, grid["nrows"], grid["ncols"])

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(key, self.shape, indexing.IndexingSupport.BASIC,
                                                  self._raw_getitem)

    def _raw_getitem(self, key):
        t_key, l_key, r_key, c_key = key
        steps = range(self.shape[0])[t_key] if isinstance(t_key, slice) else [t_key]
        # One layer asked for: read that layer alone; otherwise every layer at once.
        one_layer = isinstance(l_key, (int, numpy.integer))
        out = []
        for k in steps:
            if one_layer:
                values = self.file.read(self.name, k, layer=int(l_key) + 1)[0]
            else:
                values = self.file.read(self.name, k)[l_key]
            out.append(values[..., r_key, c_key])
        shape = [len(steps)] + list(out[0].shape if out else self._empty_shape(key))
        data = numpy.stack(out) if out else numpy.empty(shape, dtype=self.dtype)
        return data if isinstance(t_key, slice) else data[0]

    def _empty_shape(self, key):
        return [len(range(n)[k]) for n, k in zip(self.shape[1:], key[1:])
                if isinstance(k, slice)]


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
        return {name.lower(): (("row", "column"), s.read(name, 0, layer=1)[0],
                               {"units": v["units"]})
                for name in ("LATITUDE", "LONGITUDE")
                for v in [s._variable(name)]}


def open_kavro_dataset(filename, drop_variables=None, stack=None, names=None) -> xarray.Dataset:
    f = _file.open(filename, names=names)
    try:
        d = f.description
        g = d["grid"]
        layers = d["vertical"]["layers"]
        variables = {}
        for v in d["variables"]:
            if drop_variables and v["name"] in drop_variables:
                continue
            data = indexing.LazilyIndexedArray(KavroArray(f, v, layers))
            variables[v["name"]] = xarray.Variable(
                DIMS, data, {"units": v["units"], "long_name": v["name"],
                             "var_desc": v["description"]})
        coords = {
            "time": ("time", f.steps.astype("datetime64[ns]")),
            "layer": ("layer", numpy.arange(1, layers + 1, dtype="i4")),
            "x": ("column", g["xorig"] + (numpy.arange(g["ncols"]) + 0.5) * g["xcell"],
                  {"units": "m", "long_name": "projected x of the cell centre"}),
            "y": ("row", g["yorig"] + (numpy.arange(g["nrows"]) + 0.5) * g["ycell"],
                  {"units": "m", "long_name": "projected y of the cell centre"}),
        }
        coords.update(location_coords(stack, names, g) if stack is not None
                      else _cf.location_coords(d))
        ds = _cf.apply(xarray.Dataset(variables, coords=coords, attrs=grid_attributes(d)), d)
    except BaseException:
        f.close()
        raise
    ds.set_close(f.close)
    return ds


class KavroBackendEntrypoint(BackendEntrypoint):
    """xarray's engine "kavro"."""

    description = ("The kavro library's gridded files: netCDF, native binary (BIN:) and file "
                   "lists (LIST:), with decoded time steps")
    open_dataset_parameters = ["filename_or_obj", "drop_variables", "stack", "names"]

    def open_dataset(self, filename_or_obj, *, drop_variables=None, stack=None, names=None):
        return open_kavro_dataset(os.fspath(filename_or_obj), drop_variables, stack, names)

    def guess_can_open(self, filename_or_obj):
        # netCDF files are left to the netCDF engines unless engine="kavro" is asked for.
        return isinstance(filename_or_obj, str) and filename_or_obj.startswith(("BIN:", "LIST:"))
