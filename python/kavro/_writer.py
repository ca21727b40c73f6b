"""The way back from the xarray engine: a Dataset of engine "kavro" laid out as the library
reads a netCDF file, and written with xarray's own to_netcdf.

The engine's Dataset has dimensions (time, layer, row, column) and CF coordinates; the file
needs the dimensions TSTEP, LAY, ROW and COL, the variable TFLAG, NVARS and VAR-LIST, and
32-bit integer attributes (man 5 kavro-files). A plain ds.to_netcdf(path) writes none of
that, and the library refuses the file: kavro.to_netcdf(ds, path), or ds.kavro.to_netcdf(path),
writes it laid out. A selection of steps, of a contiguous run of layers, rows or columns, is
written with its own start, step, levels and origin.
"""

import numpy
import xarray

from . import _file, _kavro

# The names of the file's parts, as the library's writer gives them.
NAMES = _kavro.file_names
# The engine's dimensions and the file's.
DIMENSIONS = {"time": NAMES["tstep_dim"], "layer": NAMES["lay_dim"], "row": NAMES["row_dim"],
              "column": NAMES["col_dim"]}
# The value types a variable may have in the file.
VALUE_TYPES = (numpy.dtype("int32"), numpy.dtype("float32"), numpy.dtype("float64"))
# Attributes of the engine's Dataset that the file does not hold.
ENGINE_ONLY = ("file_type", "Conventions")
# What a file's description needs from the Dataset's attributes (global attributes of the
# file, which the engine keeps under the same names).
GRID = ("FTYPE", "GDNAM", "NTHIK", "GDTYP", "P_ALP", "P_BET", "P_GAM", "XCENT", "YCENT",
        "XORIG", "YORIG", "XCELL", "YCELL", "VGTYP", "VGTOP", "VGLVLS", "TSTEP")
TFLAG = NAMES["tflag_var"]
TFLAG_DIMENSIONS = (NAMES["tstep_dim"], NAMES["var_dim"], NAMES["date_time_dim"])
TFLAG_ATTRS = {NAMES["units_att"]: NAMES["tflag_units"], NAMES["long_name_att"]: TFLAG,
               NAMES["var_desc_att"]: NAMES["tflag_desc"]}
LINE = NAMES["line_length"]  # FILEDESC and HISTORY are lines of LINE characters, one after another
NAME_LENGTH = _file.CODES["NAMLEN3"]  # a variable's name


def as_int32(name: str, value):
    """An integer attribute as the 32-bit int a classic file holds (xarray's are 64-bit)."""
    values = numpy.asarray(value)
    if values.dtype.kind not in "iu" or values.dtype == numpy.int32:
        return value
    if values.size and (values.min() < -2**31 or values.max() >= 2**31):
        raise ValueError(f"attribute {name}={value!r} does not fit a 32-bit int")
    return numpy.int32(value) if values.ndim == 0 else values.astype("i4")


def lines(text: str) -> str:
    """The engine's description lines (joined by newlines) as the file's 80-character lines."""
    return "".join(line[:LINE].ljust(LINE) for line in str(text).split("\n"))


def hhmmss(seconds: int) -> int:
    sign, s = (-1 if seconds < 0 else 1), abs(int(seconds))
    return sign * (s // 3600 * 10000 + s // 60 % 60 * 100 + s % 60)


def step_times(time: xarray.DataArray) -> numpy.ndarray:
    """The time axis as datetime64[s], decoded when it was opened undecoded or as cftime."""
    values = time.values
    if values.dtype.kind in "iuf":
        values = xarray.decode_cf(xarray.Dataset({"t": time.variable}))["t"].values
    if values.dtype == object:
        values = numpy.array([numpy.datetime64(t.isoformat(), "s") for t in values])
    return values.astype("datetime64[s]")


def time_step(attrs: dict, times: numpy.ndarray) -> int:
    """TSTEP (HHMMSS) of the time axis: the attribute for fewer than two steps."""
    if len(times) < 2 or int(attrs["TSTEP"]) == 0:
        return int(attrs["TSTEP"])
    gaps = numpy.unique(numpy.diff(times).astype("int64"))
    if len(gaps) != 1 or gaps[0] == 0:
        raise ValueError("the time axis is not evenly spaced: a file holds steps of one length")
    return hhmmss(int(gaps[0]))


def first_index(ds: xarray.Dataset, dim: str) -> int:
    """The 0-based index of dim's first cell in the file the Dataset came from (its 1-based
    coordinate), 0 without one; a selection that is not one contiguous run is refused."""
    if dim not in ds.coords:
        return 0
    numbers = numpy.asarray(ds[dim].values)
    if not len(numbers):
        return 0
    if not numpy.array_equal(numbers, numpy.arange(numbers[0], numbers[0] + len(numbers))):
        raise ValueError(f"{dim}: a selection of one contiguous run of {dim}s is written, "
                         f"not {numbers.tolist()}")
    return int(numbers[0]) - 1


def step_pairs(ds: xarray.Dataset) -> numpy.ndarray:
    """(YYYYDDD, HHMMSS) of every step, from the time axis; a time-independent file's one step
    is its SDATE and STIME (its date may be none that a time axis holds)."""
    if int(ds.attrs.get("TSTEP", -1)) == 0:
        return numpy.array([(ds.attrs["SDATE"], ds.attrs["STIME"])] * ds.sizes["time"], "i4")
    if "time" not in ds.coords:
        raise ValueError("the Dataset has no time coordinate: TFLAG is written from it")
    return numpy.array([_file.model_date_time(t) for t in step_times(ds["time"])], "i4")


def global_attributes(ds: xarray.Dataset, names: list, pairs: numpy.ndarray) -> dict:
    missing = [a for a in GRID if a not in ds.attrs]
    if missing:
        raise ValueError("the Dataset lacks the attributes " + ", ".join(missing)
                         + " (open it with engine=\"kavro\")")
    attrs = {k: v for k, v in ds.attrs.items() if k not in ENGINE_ONLY}
    lay0, row0, col0 = (first_index(ds, d) for d in ("layer", "row", "column"))
    nlays = ds.sizes["layer"]
    levels = numpy.asarray(attrs["VGLVLS"], dtype="f4")
    now = _file.model_date_time(numpy.datetime64("now", "s"))
    attrs.update({
        "NCOLS": ds.sizes["column"], "NROWS": ds.sizes["row"], "NLAYS": nlays,
        "NVARS": len(names), "VAR-LIST": "".join(n.ljust(NAME_LENGTH) for n in names),
        "XORIG": float(attrs["XORIG"]) + col0 * float(attrs["XCELL"]),
        "YORIG": float(attrs["YORIG"]) + row0 * float(attrs["YCELL"]),
        "VGLVLS": levels[lay0:lay0 + nlays + 1] if len(levels) > nlays else levels,
        "VGTOP": numpy.float32(attrs["VGTOP"]), "TSTEP": time_step(attrs, _file.datetimes(pairs)),
        "FILEDESC": lines(attrs.get("FILEDESC", "")), "HISTORY": lines(attrs.get("HISTORY", "")),
    })
    if len(pairs):
        attrs["SDATE"], attrs["STIME"] = (int(x) for x in pairs[0])
    attrs.setdefault("EXEC_ID", "kavro.to_netcdf")
    attrs.setdefault("UPNAM", "kavro.to_netcdf")
    for stamp, value in zip(("CDATE", "CTIME", "WDATE", "WTIME"), now + now):
        attrs.setdefault(stamp, value)
    return {k: as_int32(k, v) for k, v in attrs.items()}


def file_layout(ds: xarray.Dataset) -> xarray.Dataset:
    """The Dataset as the library reads a file: TSTEP, LAY, ROW and COL, TFLAG from the time
    axis, NVARS and VAR-LIST from the data variables (in their order), no coordinates."""
    names = list(ds.data_vars)
    if not names:
        raise ValueError("the Dataset has no data variables")
    for name in names:
        var = ds[name]
        if set(var.dims) != set(DIMENSIONS):
            raise ValueError(f"{name}: dimensions {var.dims}, a file holds "
                             f"{tuple(DIMENSIONS)} only")
        if var.dtype not in VALUE_TYPES:
            raise ValueError(f"{name}: {var.dtype} values, a file holds int32, float32 or "
                             "float64 (astype one of them)")
        if name in (TFLAG, *TFLAG_DIMENSIONS, *DIMENSIONS.values()):
            raise ValueError(f"{name}: named as the file's TFLAG or one of its dimensions, "
                             "which xarray cannot write (a location file's ROW and COL: "
                             "make_stack writes those)")
        if len(name) > NAME_LENGTH:
            raise ValueError(f"{name}: a file's variable names have at most {NAME_LENGTH} "
                             "characters")
    pairs = step_pairs(ds)
    flags = pairs.reshape(-1, 1, 2)
    out = xarray.Dataset(attrs=global_attributes(ds, names, pairs))
    out[TFLAG] = xarray.Variable(TFLAG_DIMENSIONS, numpy.repeat(flags, len(names), axis=1),
                                 TFLAG_ATTRS)
    for name in names:
        var = ds[name].variable.transpose(*DIMENSIONS)
        attrs = {NAMES[a]: var.attrs.get(NAMES[a], default) for a, default in
                 (("long_name_att", name), ("units_att", ""), ("var_desc_att", ""))}
        out[name] = xarray.Variable(tuple(DIMENSIONS.values()), var.data, attrs)
    for var in out.variables.values():
        var.encoding = {"_FillValue": None}
    return out


def to_netcdf(ds: xarray.Dataset, path, *, engine=None, format="NETCDF3_CLASSIC"):  # noqa: A002
    """Writes the engine's Dataset ds to the netCDF file path (replaced when it exists, as by
    xarray) as the library reads it (file_layout), with xarray's to_netcdf; engine and format
    are xarray's (a classic format: NETCDF3_CLASSIC, or NETCDF3_64BIT past 2 GiB). A
    time-independent file (TSTEP 0) has one fixed step; otherwise TSTEP is unlimited, as the
    library writes it."""
    out = file_layout(ds)
    unlimited = [] if out.attrs["TSTEP"] == 0 else [NAMES["tstep_dim"]]
    out.to_netcdf(path, engine=engine, format=format, unlimited_dims=unlimited)


class KavroAccessor:
    """ds.kavro: to_netcdf(path) writes the Dataset as the library reads it."""

    def __init__(self, ds: xarray.Dataset):
        self._ds = ds

    def to_netcdf(self, path, **options):
        to_netcdf(self._ds, path, **options)

    def file_layout(self) -> xarray.Dataset:
        return file_layout(self._ds)


def register_accessor() -> None:
    if not hasattr(xarray.Dataset, "kavro"):
        xarray.register_dataset_accessor("kavro")(KavroAccessor)
