"""kavro.open and the File object: the library's files as numpy arrays.

The library's log goes where LOGFILE says (a path that does not exist yet, or "/dev/null"),
fixed the first time the process uses it; unset, it goes to logging.getLogger("kavro").
"""

import contextlib
import os
from typing import Dict, List, Optional, Sequence, Tuple, Union

import numpy

from . import _errors, _kavro, _log

CODES = _kavro.constants
# The library's open modes.
MODES = {"r": CODES["FSREAD3"], "r+": CODES["FSRDWR3"], "w": CODES["FSNEW3"],
         "a": CODES["FSUNKN3"], "w!": CODES["FSCREA3"]}
# Variable types (XQINT, XQREAL, XQDBLE) and their numpy types.
DTYPES = {CODES["XQINT"]: numpy.dtype(numpy.int32), CODES["XQREAL"]: numpy.dtype(numpy.float32),
          CODES["XQDBLE"]: numpy.dtype(numpy.float64)}
ALL_LAYERS = CODES["ALLAYS3"]
# Names of the file types, by code, as the library's open report gives them.
FILE_TYPES = _kavro.file_type_names
# The starts of a logical name's value that select a kind, from the library's kind rows: a
# native binary file's path follows BINARY_PREFIX, a file list's names follow LIST_PREFIX,
# and MEMORY_VALUE names memory-resident files.
BINARY_PREFIX = _kavro.value_prefixes[CODES["BINFIL3"]]
LIST_PREFIX = _kavro.value_prefixes[CODES["LISTFIL3"]]
MEMORY_VALUE = _kavro.value_prefixes[CODES["MEMFIL3"]]

Step = Union[int, Tuple[int, int], numpy.datetime64, str]


@contextlib.contextmanager
def calling(kind, path=None):
    """Library failures inside the block raised as KIND (when the library named no finer
    class), with PATH when the library gave none."""
    try:
        yield
    except _errors.Error as e:
        raise _errors.refined(e, kind, path) from None


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
    """A datetime (numpy or Python, or an ISO text) as the model's (YYYYDDD, HHMMSS)."""
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

    def __init__(self, core: "_kavro.File", path: Optional[str] = None):
        self._core = core
        self.path = path
        self._description = None
        self._steps = None

    @classmethod
    def open(cls, path_or_name, mode: str = "r", names=None) -> "File":
        if mode not in MODES:
            raise _errors.SettingError(f"mode {mode!r}: one of {', '.join(MODES)}", "mode")
        define_names(names)
        target = os.fspath(path_or_name)
        _log.check_logfile()
        with calling(_errors.OpenError, target):
            if is_logical_name(target):
                return cls(_kavro.File.open_name(target, MODES[mode]), target)
            return cls(_kavro.File.open_path(target, MODES[mode]), target)

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
        raise _errors.VariableError(
            f'no variable "{var}" in the file (variables: {", ".join(self.variables)})',
            "File.read", self.path or "")

    def _step_range(self) -> str:
        n = len(self.step_pairs)
        if n == 0:
            return "the file holds no steps"
        first, last = self.steps[0], self.steps[-1]
        return (f"an index 0..{n - 1} (or -{n}..-1), or a time from {first} to {last} as "
                "(YYYYDDD, HHMMSS), numpy.datetime64 or ISO text")

    def _step(self, step: Step, written: bool = True) -> Tuple[int, int]:
        """STEP as (YYYYDDD, HHMMSS). WRITTEN: it must be a step the file holds."""
        pair = self._step_pair(step)
        if not written or not self.step_pairs or pair in self.step_pairs:
            return pair  # memory-resident files list no steps: the library decides
        self._steps = None  # a volatile file may have grown since the steps were listed
        if pair not in self.step_pairs:
            raise self._step_error(_errors.StepError, step, "is not in the file")
        return pair

    def _step_error(self, cls, step, what: str):
        return cls(f"step {step!r} {what}: give " + self._step_range(), "File.read",
                   self.path or "")

    def _step_pair(self, step: Step) -> Tuple[int, int]:
        if isinstance(step, (bool, numpy.bool_)):
            raise self._step_error(_errors.StepValueError, step, "is no step")
        if isinstance(step, (int, numpy.integer)):
            n = len(self.step_pairs)
            if not -n <= int(step) < n:
                raise self._step_error(_errors.StepError, int(step), "is out of range")
            return self.step_pairs[int(step)]
        if isinstance(step, (str, numpy.datetime64)) or hasattr(step, "isoformat"):
            try:
                return model_date_time(step)
            except ValueError:
                raise self._step_error(_errors.StepValueError, step,
                                       "is no date and time") from None
        try:
            date, time = (int(x) for x in step)
        except (TypeError, ValueError):
            raise self._step_error(_errors.StepValueError, step, "is no step") from None
        if not (0 <= time <= 235959 and time % 100 < 60 and time // 100 % 100 < 60
                and 1 <= date % 1000 <= 366):
            raise self._step_error(_errors.StepValueError, step, "is no (YYYYDDD, HHMMSS) pair")
        return date, time

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
        with calling(_errors.ReadError, self.path):
            values = self._core.read(var, which, date, time, v["type"])
        layers = self.description["vertical"]["layers"] if layer is None else 1
        return values.reshape(self._shape(values.size, layers))

    def read_into(self, var: str, vtype: int, step: Tuple[int, int], layer: int,
                  out: numpy.ndarray) -> None:
        """Reads var at step (a (YYYYDDD, HHMMSS) pair) of layer (1-based, or ALL_LAYERS) into
        out, a writable C-contiguous array of the variable's type and size: no checks beyond
        the library's, for callers that read many steps (the xarray engine)."""
        with calling(_errors.ReadError, self.path):
            self._core.read_into(var, layer, step[0], step[1], vtype, out)

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
            raise _errors.SettingError(f'variable "{var}" takes {count} values a step, '
                                       f'not {arr.size}', "values", self.path or "")
        date, time = self._step(step, written=False)
        with calling(_errors.WriteError, self.path):
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
        raise _errors.SettingError(f"mode {mode!r}: one of {', '.join(CREATE_MODES)}", "mode")
    define_names(names)
    desc = dict(description)
    desc.setdefault("lines", [])
    desc["variables"] = [dict(v) for v in description["variables"]]
    for v in desc["variables"]:
        v.setdefault("description", "")
        if "type" not in v:
            v["type"] = TYPE_CODES[numpy.dtype(v["dtype"])]
    target = os.fspath(path_or_name)
    _log.check_logfile()
    with calling(_errors.OpenError, target):
        return File(_kavro.File.create(target, desc, MODES[mode]), target)


def open(path_or_name, mode: str = "r", names=None) -> File:  # noqa: A001 - the package's verb
    """Opens a file: a logical name the environment defines, or a path as a logical name's
    value may be (a netCDF path, "BIN:path", "LIST:A,B" whose members A and B names defines).
    mode: "r" read-only, "r+" read and write."""
    return File.open(path_or_name, mode, names)
