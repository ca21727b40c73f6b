"""kavro.open and the File object: the library's files as numpy arrays.

The library writes its log where LOGFILE says, fixed the first time the process uses it:
set os.environ["LOGFILE"] to a path that does not exist yet (or "/dev/null") before the first
kavro.open; unset, the log goes to standard output.
"""

import os
from typing import Dict, List, Optional, Sequence, Tuple, Union

import numpy

from . import _kavro

# The library's open modes.
MODES = {"r": 1, "r+": 2, "w": 3, "a": 4, "w!": 5}
# Variable types (XQINT, XQREAL, XQDBLE) and their numpy types.
DTYPES = {4: numpy.dtype(numpy.int32), 5: numpy.dtype(numpy.float32),
          6: numpy.dtype(numpy.float64)}
ALL_LAYERS = -1
# Names of the file types, by code.
FILE_TYPES = {-3: "KFEVNT3", -2: "DGRAPH3", -1: "CUSTOM3", 0: "DCTNRY3", 1: "GRDDED3",
              2: "BNDARY3", 3: "IDDATA3", 4: "PROFIL3", 5: "GRNEST3", 6: "SMATRX3", 7: "TYPE7",
              8: "PTRFLY3"}

Step = Union[int, Tuple[int, int], numpy.datetime64]


def datetimes(pairs: Sequence[Tuple[int, int]]) -> numpy.ndarray:
    """Model (YYYYDDD, HHMMSS) pairs as numpy.datetime64[s] (proleptic Gregorian)."""
    out = numpy.empty(len(pairs), dtype="datetime64[s]")
    for k, (date, time) in enumerate(pairs):
        year, day = divmod(int(date), 1000)
        hh, rest = divmod(int(time), 10000)
        mm, ss = divmod(rest, 100)
        out[k] = (numpy.datetime64(f"{year:04d}-01-01", "s")
                  + numpy.timedelta64((day - 1) * 86400 + hh * 3600 + mm * 60 + ss, "s"))
    return out


def model_date_time(t) -> Tuple[int, int]:
    """A datetime (numpy or Python) as the model's (YYYYDDD, HHMMSS)."""
    seconds = int(numpy.datetime64(t, "s").astype("int64"))
    day, second = divmod(seconds, 86400)
    date = numpy.datetime64(day, "D")
    year = date.astype("datetime64[Y]")
    yday = int((date - year.astype("datetime64[D]")).astype(int)) + 1
    hh, rest = divmod(second, 3600)
    return (int(year.astype(int)) + 1970) * 1000 + yday, hh * 10000 + (rest // 60) * 100 + rest % 60


def define_names(names: Optional[Dict[str, str]]) -> None:
    """Logical names for the library to look up (the members of a LIST: value)."""
    for name, value in (names or {}).items():
        os.environ[str(name)] = os.fspath(value)


def is_logical_name(s: str) -> bool:
    return 0 < len(s) <= 16 and s in os.environ


class File:
    """One open file. Use it as a context manager, or call close()."""

    def __init__(self, core: "_kavro.File"):
        self._core = core
        self._description = None
        self._steps = None

    @classmethod
    def open(cls, path_or_name, mode: str = "r", names=None) -> "File":
        if mode not in MODES:
            raise ValueError(f"mode {mode!r}: one of {', '.join(MODES)}")
        define_names(names)
        target = os.fspath(path_or_name)
        if is_logical_name(target):
            return cls(_kavro.File.open_name(target, MODES[mode]))
        return cls(_kavro.File.open_path(target, MODES[mode]))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self) -> None:
        if self._core.is_open:
            self._core.close()

    @property
    def closed(self) -> bool:
        return not self._core.is_open

    @property
    def logical_name(self) -> str:
        return self._core.logical_name

    @property
    def description(self) -> dict:
        """The file's description: file_type (and file_type_name), grid, projection, time,
        vertical, variables (name, units, description, type, dtype), lines."""
        if self._description is None:
            d = self._core.description()
            d["file_type_name"] = FILE_TYPES.get(d["file_type"], str(d["file_type"]))
            for v in d["variables"]:
                v["dtype"] = DTYPES.get(v["type"])
            self._description = d
        return self._description

    @property
    def variables(self) -> List[str]:
        return [v["name"] for v in self.description["variables"]]

    @property
    def step_pairs(self) -> List[Tuple[int, int]]:
        """The steps as (YYYYDDD, HHMMSS) pairs, first to last."""
        if self._steps is None:
            self._steps = [tuple(s) for s in self._core.steps()]
        return self._steps

    @property
    def steps(self) -> numpy.ndarray:
        """The steps as numpy.datetime64[s]."""
        return datetimes(self.step_pairs)

    def _variable(self, var: str) -> dict:
        for v in self.description["variables"]:
            if v["name"] == var:
                return v
        raise KeyError(f'no variable "{var}" in the file (variables: {", ".join(self.variables)})')

    def _step(self, step: Step) -> Tuple[int, int]:
        if isinstance(step, (numpy.datetime64,)) or hasattr(step, "isoformat"):
            return model_date_time(step)
        if isinstance(step, (int, numpy.integer)):
            return self.step_pairs[int(step)]
        date, time = step
        return int(date), int(time)

    def _shape(self, count: int, layers: int) -> Tuple[int, ...]:
        grid = self.description["grid"]
        if count == layers * grid["nrows"] * grid["ncols"]:
            return (layers, grid["nrows"], grid["ncols"])
        return (layers, count // layers) if layers and count % layers == 0 else (count,)

    def read(self, var: str, step: Step, layer: Optional[int] = None) -> numpy.ndarray:
        """The values of var at step (an index into steps, a (date, time) pair or a
        datetime64) in the variable's own type, shaped (layer, row, column): every layer, or
        layer (1-based) alone."""
        v = self._variable(var)
        date, time = self._step(step)
        which = ALL_LAYERS if layer is None else int(layer)
        values = self._core.read(var, which, date, time, v["type"])
        layers = self.description["vertical"]["layers"] if layer is None else 1
        return values.reshape(self._shape(values.size, layers))

    def write(self, var: str, step: Step, values) -> None:
        """Writes every layer of var at step (a (date, time) pair, a datetime, or an index into
        steps): values in the variable's type (or one of its kind: float64 data for a REAL
        variable is rounded to float32), as many as read(var, step) gives."""
        v = self._variable(var)
        arr = numpy.asarray(values)
        if arr.dtype != v["dtype"] and not numpy.can_cast(arr.dtype, v["dtype"], "same_kind"):
            raise TypeError(f'variable "{var}" holds {v["dtype"]}, not {arr.dtype}')
        count = self._core.value_count(var, ALL_LAYERS)
        if arr.size != count:
            raise ValueError(f'variable "{var}" takes {count} values a step, not {arr.size}')
        date, time = self._step(step)
        self._core.write(var, date, time,
                         numpy.ascontiguousarray(arr, dtype=v["dtype"]).reshape(-1), v["type"])
        self._steps = None  # the file may hold one step more now

    def __repr__(self):
        state = "closed" if self.closed else f'"{self.logical_name}"'
        return f"<kavro.File {state}>"


CREATE_MODES = ("w", "a", "w!")
TYPE_CODES = {numpy.dtype(t): code for code, t in DTYPES.items()}


def create(path_or_name, description: dict, mode: str = "w", names=None) -> File:
    """Creates a file described by description (a dict as File.description gives it; a
    variable's type may be given by its numpy dtype). path_or_name: a logical name the
    environment defines, or a path as open takes it ("BIN:path" for a native binary file,
    "BUFFERED" names hold memory-resident files). mode: "w" a new file (refused when it
    exists), "a" opened when it exists (its description must match), "w!" replacing it."""
    if mode not in CREATE_MODES:
        raise ValueError(f"mode {mode!r}: one of {', '.join(CREATE_MODES)}")
    define_names(names)
    desc = dict(description)
    desc.setdefault("lines", [])
    desc["variables"] = [dict(v) for v in description["variables"]]
    for v in desc["variables"]:
        v.setdefault("description", "")
        if "type" not in v:
            v["type"] = TYPE_CODES[numpy.dtype(v["dtype"])]
    return File(_kavro.File.create(os.fspath(path_or_name), desc, MODES[mode]))


def open(path_or_name, mode: str = "r", names=None) -> File:  # noqa: A001 - the package's verb
    """Opens a file: a logical name the environment defines, or a path as a logical name's
    value may be (a netCDF path, "BIN:path", "LIST:A,B" whose members A and B names defines).
    mode: "r" read-only, "r+" read and write."""
    return File.open(path_or_name, mode, names)
