"""One comparison of two gridded files by the brindlewick tool, run as a subprocess.

The tool is the comparison's only engine: this module checks the settings, sets the tool's
environment, runs it with its JSON result and the CSV of differing cells turned on, and reads
both back into a result object. The log is kept as text for people; nothing reads it.
"""

import csv
import dataclasses
import json
import numbers
import os
import shutil
import subprocess
import tempfile
from typing import Any, Callable, Dict, List, Optional, Tuple

import numpy

from . import _build_info, _errors, _file

# Outcomes of one comparison.
IDENTICAL = "identical"
DIFFER = "differ"
FAILED = "failed"
# The kinds of difference a verdict weighs, in the tool's order.
CATEGORIES = ("cells", "steps", "variables", "grid", "header")

# The CSV's columns (the tool's header line) and their types in the structured array.
CSV_DTYPE = numpy.dtype([
    ("variable", "U16"), ("date", "i4"), ("time", "i4"), ("layer", "i4"), ("column", "i4"),
    ("row", "i4"), ("value1", "f8"), ("value2", "f8"), ("difference", "f8"),
    ("latitude", "f8"), ("longitude", "f8"), ("x", "f8"), ("y", "f8"),
])
CSV_HEADER = list(CSV_DTYPE.names)

CompareError = _errors.CompareError


def bad(name: str, value, what: str) -> _errors.SettingError:
    return _errors.SettingError(f"{name}={value!r}: {what}", name)


# ---- The settings ----------------------------------------------------------------------------
# The tool's settings come from its own table (kavro._kavro.tool_settings(), the rows of
# driver/options/setting_table.cpp): a keyword is the option's name with "_" for "-" (abs_tol
# for --abs-tol), its value is turned into the option's text here by the row's kind, and the
# tool's own check (kavro._kavro.setting_problem) judges the text. They reach the tool as
# options, so a tool older than this package refuses one it lacks instead of going on without
# it. The library's settings that a comparison takes travel in the environment.

def yes_no(name, value) -> str:
    if not isinstance(value, (bool, numpy.bool_)):
        raise bad(name, value, "True or False")
    return "Y" if value else "N"


def text(name, value) -> str:
    if not isinstance(value, (str, os.PathLike)):
        raise bad(name, value, "a text or a path")
    return os.fspath(value)


def number_text(name, value) -> str:
    if isinstance(value, (bool, numpy.bool_)) or not isinstance(value, numbers.Real):
        raise bad(name, value, "a number")
    # Integral values as integers; Python's shortest form of a float reads back to the same
    # double in the tool.
    return str(int(value)) if isinstance(value, numbers.Integral) else repr(float(value))


def names_text(name, value) -> str:
    names = [value] if isinstance(value, str) else value
    try:
        names = list(names)
    except TypeError:
        raise bad(name, value, "variable names (a list, or one name)") from None
    if not names or not all(isinstance(n, str) and "," not in n for n in names):
        raise bad(name, value, "variable names (a list, or one name), without commas")
    return ",".join(names)


def step_text(name, value, step) -> str:
    """One step as the tool takes it: (YYYYDDD, HHMMSS), a datetime or an ISO text."""
    if isinstance(step, str):
        return step
    if isinstance(step, numpy.datetime64) or hasattr(step, "isoformat"):
        try:
            date, time = _file.model_date_time(step)
        except ValueError:
            raise bad(name, value, f"{step!r} is no date and time") from None
    else:
        try:
            date, time = (int(x) for x in step)
        except (TypeError, ValueError):
            raise bad(name, value, "(first, last), each (YYYYDDD, HHMMSS), a datetime or "
                      "ISO text") from None
    if not (0 <= date < 10**7 and 0 <= time < 10**6):
        raise bad(name, value, f"{step!r} is no (YYYYDDD, HHMMSS) step")
    return f"{date:07d}:{time:06d}"


def steps_text(name, value) -> str:
    """(first, last) as FIRST/LAST; a text is the tool's own form, checked by the tool."""
    if isinstance(value, str):
        return value
    if not hasattr(value, "__len__") or len(value) != 2:
        raise bad(name, value, "(first, last), each (YYYYDDD, HHMMSS), a datetime or ISO text")
    return "/".join(step_text(name, value, step) for step in value)


def layers_text(name, value) -> str:
    """(first, last) as FIRST:LAST, or one layer; a text is the tool's own form."""
    if isinstance(value, str):
        return value
    layers = [value] if isinstance(value, numbers.Integral) else value
    if not hasattr(layers, "__len__") or len(layers) not in (1, 2) or not all(
            isinstance(n, numbers.Integral) and not isinstance(n, (bool, numpy.bool_))
            for n in layers):
        raise bad(name, value, "(first, last) or one layer, whole numbers from 1")
    return ":".join(str(int(n)) for n in layers)


def path_text(name, value) -> str:
    # The tool runs in a folder of its own without a location file: paths are made absolute.
    return os.path.abspath(text(name, value))


# How a keyword's value becomes the option's text, by the row's kind.
TO_TEXT = {
    "yes_no": yes_no,
    "tolerance": number_text,
    "count": number_text,
    "format": text,
    "names": names_text,
    "steps": steps_text,
    "layers": layers_text,
    "folder": path_text,
    "file": path_text,
    "attributes": names_text,
    "categories": names_text,
}


@dataclasses.dataclass(frozen=True)
class Setting:
    variable: str
    check: Callable[[str, Any], str]
    option: str = ""  # the tool's option; "" for a setting of the library, in the environment


# Settings compare() sets itself: its JSON result, its CSV (csv=False: none) and its status.
TAKEN = ("BRINDLEWICK_JSON", "BRINDLEWICK_CSV", "BRINDLEWICK_EXIT_ON_DIFF")


def tool_table() -> Dict[str, dict]:
    """The tool's settings table by keyword (env, option, kind, value, help), but the settings
    compare() sets itself."""
    from . import _kavro
    return {row["option"].replace("-", "_"): row for row in _kavro.tool_settings()
            if row["env"] not in TAKEN}


def tool_rows() -> Dict[str, Setting]:
    return {key: Setting(row["env"], TO_TEXT[row["kind"]], row["option"])
            for key, row in tool_table().items()}


# Every setting a comparison takes, by keyword: the tool's, then the library's.
SETTINGS = {
    **tool_rows(),
    "check_headers": Setting("KAVRO_CHECK_HEADERS", yes_no),
    "direct_read": Setting("KAVRO_DIRECT_READ", yes_no),
    "execution_id": Setting("EXECUTION_ID", text),
    "scenfile": Setting("SCENFILE", text),
}
# Taken by compare() itself: csv (False: no rows) and names (extra logical names).
OWN = ("csv", "names")


def checked_settings(settings: Dict[str, Any]) -> Tuple[Dict[str, str], List[str]]:
    """The library's variables and the tool's options for SETTINGS (None: the tool's default),
    each checked; a bad one raises SettingError (a ValueError) naming the keyword."""
    from . import _kavro
    env, options = {}, []
    for name, value in settings.items():
        if name in OWN or value is None:
            continue
        if name not in SETTINGS:
            raise _errors.SettingError(f"unknown setting {name!r}: known are "
                                       + ", ".join(sorted(list(SETTINGS) + list(OWN))), name)
        setting = SETTINGS[name]
        value_text = setting.check(name, value)
        if not setting.option:
            env[setting.variable] = value_text
            continue
        why = _kavro.setting_problem(setting.variable, value_text)
        if why:
            raise bad(name, value, why)
        options.append(f"--{setting.option}={value_text}")
    names = settings.get("names") or {}
    if not isinstance(names, dict):
        raise bad("names", names, "a dict of logical names and their values")
    env.update({str(k): os.fspath(v) for k, v in names.items()})
    if not isinstance(settings.get("csv", True), bool):
        raise bad("csv", settings["csv"], "True or False")
    return env, options


def setting_environment(settings: Dict[str, Any]) -> Dict[str, str]:
    """SETTINGS, checked as checked_settings() checks them, all as environment variables: the
    folder run hands them to every pair's comparison that way."""
    env, options = checked_settings(settings)
    variable = {s.option: s.variable for s in SETTINGS.values() if s.option}
    for option in options:
        name, _, value = option[2:].partition("=")
        env[variable[name]] = value
    return env


@dataclasses.dataclass(frozen=True)
class Cell:
    """Where an extreme difference is, and the two values there."""

    date: int
    time: int
    layer: int
    column: int
    row: int
    latitude: float
    longitude: float
    value1: float
    value2: float


@dataclasses.dataclass(frozen=True)
class StepFigures:
    """One step of a differing variable: cells differing, largest |difference|, RMS."""

    date: int
    time: int
    cells_differing: int
    max_abs_difference: Optional[float]
    rms: Optional[float]


@dataclasses.dataclass(frozen=True)
class GridDifference:
    """How the grids lie differently: what ("origin", "cell size", "projection", "name") and
    both files' values as the log shows them."""

    what: str
    file1: str
    file2: str


@dataclasses.dataclass(frozen=True)
class HeaderDifference:
    """A header attribute that differs; variable is None for the file's own attributes."""

    attribute: str
    variable: Optional[str]
    file1: str
    file2: str


@dataclasses.dataclass(frozen=True)
class VariableSummary:
    """The tool's summary of one variable."""

    name: str
    units: str
    cells_compared: int
    steps: int
    cells_differing: int
    nan_against_number: int
    steps_differing: int
    first_difference: Optional[Tuple[int, int]]  # (date, time) of the first step that differs
    max_abs_difference: Optional[float]  # None: no cell with numbers on both sides
    max_abs_at: Optional[Cell]
    max_rel_difference: Optional[float]
    max_rel_at: Optional[Cell]
    rms: float
    # The tolerance in force for the variable ({"abs": .., "rel": ..}) and the margin against
    # it (the largest difference / what the tolerance allows; above 1 is reported); None
    # without a tolerance, and a margin None where nothing is allowed and cells differ.
    tolerance: Optional[Dict[str, float]] = None
    margin: Optional[float] = None
    # Per step compared, for a variable with differing cells; None otherwise.
    series: Optional[List[StepFigures]] = None


@dataclasses.dataclass(frozen=True)
class CsvRow:
    """One differing cell as the tool's CSV gives it. REAL values are the shortest text of the
    single-precision value: numpy.float32(row.value1) is the stored value exactly."""

    variable: str
    date: int
    time: int
    layer: int
    column: int
    row: int
    value1: float
    value2: float
    difference: float
    latitude: float
    longitude: float
    x: float
    y: float


@dataclasses.dataclass(frozen=True)
class CompareResult:
    """What one comparison found. status is "identical", "differ" or "failed"; a failed
    comparison has its reason (the log's abort text) and no summaries."""

    file1: str
    file2: str
    stack: str  # "" without a location file: the locations came from the grid
    status: str
    exit_status: int
    reason: str
    variables: Dict[str, VariableSummary]
    rows: List[CsvRow]
    log: str
    reports: str = ""
    # The tool's JSON result as read (settings in force, steps compared, totals); {} when the
    # tool wrote none (a run that failed before reading its settings).
    json: Dict[str, Any] = dataclasses.field(default_factory=dict, compare=False, repr=False)
    # The kinds of difference that made the verdict "differ" (of CATEGORIES), those the
    # settings left out (verdict_ignores) and, of those, the ones found.
    categories: Tuple[str, ...] = ()
    excluded: Tuple[str, ...] = ()
    not_counted: Tuple[str, ...] = ()
    # What only one file holds and was not compared: variable names and (YYYYDDD, HHMMSS).
    variables_only_in_file1: Tuple[str, ...] = ()
    variables_only_in_file2: Tuple[str, ...] = ()
    steps_only_in_file1: Tuple[Tuple[int, int], ...] = ()
    steps_only_in_file2: Tuple[Tuple[int, int], ...] = ()
    grid_differences: Tuple[GridDifference, ...] = ()
    header_differences: Tuple[HeaderDifference, ...] = ()

    @property
    def steps(self) -> List[Tuple[int, int]]:
        """The steps compared, as (YYYYDDD, HHMMSS)."""
        return [tuple(s) for s in self.json.get("steps", [])]

    @property
    def cells_differing(self) -> Optional[int]:
        """The cells differing over every variable; None for a comparison that failed."""
        if self.status == FAILED:
            return None
        return sum(v.cells_differing for v in self.variables.values())

    @property
    def worst_variable(self) -> Optional[str]:
        """The variable with the most differing cells (the first in file order on a tie);
        None when no cell differs."""
        worst = None
        for v in self.variables.values():
            if v.cells_differing > 0 and (worst is None or v.cells_differing > worst.cells_differing):
                worst = v
        return None if worst is None else worst.name

    @property
    def worst_cell(self) -> Optional[Tuple[str, Cell]]:
        """(variable, cell) of the largest |difference| over every variable; None when no
        cell had numbers on both sides and a difference."""
        best = None
        for v in self.variables.values():
            if v.max_abs_difference is None or v.max_abs_difference == 0:
                continue
            if best is None or v.max_abs_difference > best.max_abs_difference:
                best = v
        return None if best is None else (best.name, best.max_abs_at)

    def table(self) -> numpy.ndarray:
        """The differing cells as a numpy structured array (CSV_DTYPE)."""
        return numpy.array([dataclasses.astuple(r) for r in self.rows], dtype=CSV_DTYPE)


def find_brindlewick() -> str:
    """The tool to run: $KAVRO_BRINDLEWICK, else the one this package was built or installed
    with, else brindlewick on PATH."""
    named = os.environ.get("KAVRO_BRINDLEWICK")
    if named:
        return named
    if _build_info.BRINDLEWICK and os.path.exists(_build_info.BRINDLEWICK):
        return _build_info.BRINDLEWICK
    if _build_info.BRINDLEWICK_RELATIVE:
        beside = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(_build_info.__file__)),
                                               _build_info.BRINDLEWICK_RELATIVE))
        if os.path.exists(beside):
            return beside
    on_path = shutil.which("brindlewick")
    if on_path:
        return on_path
    raise CompareError("brindlewick not found: set KAVRO_BRINDLEWICK to the program's path",
                       "compare")


def absolute(value, folder: Optional[str] = None) -> str:
    """A file value with a relative path (also after BIN:) made absolute from folder (default
    this process's working directory); LIST: values and BUFFERED name no path and stay as
    they are."""
    value = os.fspath(value).strip()
    if not value or value.startswith(_file.LIST_PREFIX) or value == _file.MEMORY_VALUE:
        return value
    prefix = _file.BINARY_PREFIX if value.startswith(_file.BINARY_PREFIX) else ""
    return prefix + os.path.abspath(os.path.join(folder or os.getcwd(), value[len(prefix):]))


def tool_environment(file1, file2, stack, work: str, settings) -> Dict[str, str]:
    """The tool's environment: ours without any BRINDLEWICK_ setting, LOGFILE or STACK1
    inherited (only this call's settings count), the files, the log, the JSON result and the
    CSV (unless csv=False) in WORK, status 1 when cells differ, no reports unless asked for,
    and this call's settings. Without a stack, STACK1 stays unset; the tool then runs in WORK,
    where no file is named STACK1, with every path made absolute."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("BRINDLEWICK_") and k not in ("LOGFILE", "STACK1")}
    if stack is not None:
        env["STACK1"] = os.fspath(stack)
    env.update({
        "INFILE1": os.fspath(file1), "INFILE2": os.fspath(file2),
        "LOGFILE": os.path.join(work, "log"), "BRINDLEWICK_JSON": os.path.join(work, "result.json"),
        "BRINDLEWICK_EXIT_ON_DIFF": "Y",
    })
    if settings.get("max_reports") is None:
        env["BRINDLEWICK_MAX_REPORTS"] = "0"  # max_reports, an option, must not meet it here
    if settings.get("csv", True):
        env["BRINDLEWICK_CSV"] = os.path.join(work, "cells.csv")
    env.update(checked_settings(settings)[0])
    if stack is None:
        # The paths the tool opens, the members of a LIST: value included.
        lists = [env[n][len(_file.LIST_PREFIX):].split(",") for n in ("INFILE1", "INFILE2")
                 if env[n].startswith(_file.LIST_PREFIX)]
        paths = ["INFILE1", "INFILE2", "SCENFILE", "BRINDLEWICK_MAPS"] + sum(lists, [])
        env.update({n: absolute(env[n]) for n in paths if env.get(n)})
    return env


def compare(file1, file2, stack=None, *, timeout: Optional[float] = None,
            **settings) -> CompareResult:
    """Compares every variable of file2 with file1 at every step of file2, with the location
    file stack, by running brindlewick; without stack (None) the tool computes each cell's
    location from the grid's projection. Each file is a path or a value as the tool takes it
    ("BIN:path", "LIST:A,B" with names={"A": path, ...}).

    Settings (keywords; None leaves the tool's default): every option of the tool by its name
    with "_" for "-" (kavro._kavro.tool_settings() lists them): nan_equal (a NaN against a NaN
    is not a difference), variables (names to compare), exclude (names not to compare), steps
    ((first, last), each (YYYYDDD, HHMMSS), a datetime or ISO text), layers ((first, last) or
    one layer), abs_tol, rel_tol (tolerances), tolerances (a TOML file of tolerances per
    variable), max_reports (reports kept in result.reports; default none), maps (folder for
    difference maps), only_common, format ("labelled" reports), summary, ignore_attributes (header attributes
    not compared beside the dates and descriptions: names, "ALL" or "NONE"), verdict_ignores
    (kinds of difference the verdict leaves out, of CATEGORIES); and check_headers,
    direct_read (True/False), execution_id, scenfile, names (extra logical names), csv (False:
    no rows, for pairs with millions of differing cells; the summaries still count them). A
    value of the wrong type, or one the tool's check refuses, raises SettingError (a
    ValueError) naming the keyword, before the tool runs; what a value names (a folder, a
    file) the tool checks, and a comparison it refuses is a failed result.

    A comparison that fails (a file missing, grids that do not fit) is a result with status
    "failed" and the tool's reason; CompareError is raised only when the tool cannot be run or
    gives no result."""
    options = checked_settings(settings)[1]  # every value checked before anything runs
    if stack is not None and not os.fspath(stack).strip():
        stack = None  # an empty stack (a manifest's empty field) names no location file
    tool = find_brindlewick()
    with tempfile.TemporaryDirectory(prefix="kavro_compare_") as work:
        env = tool_environment(file1, file2, stack, work, settings)
        # Two data files as arguments and no location file: the locations come from the grid.
        command = [tool, *options] + ([] if stack is not None else [env["INFILE1"], env["INFILE2"]])
        try:
            done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout, check=False,
                                  cwd=work if stack is None else None)
        except OSError as e:
            raise CompareError(f"brindlewick could not be run ({tool}): {e.strerror}", "compare") from e
        log = read_text(env["LOGFILE"])
        result = read_json(env["BRINDLEWICK_JSON"])
        csv_path = env.get("BRINDLEWICK_CSV")
        csv_written = bool(csv_path) and os.path.exists(csv_path)
        rows = read_csv(csv_path) if csv_written else []
    reports = done.stdout.decode("utf-8", "replace") if settings.get("max_reports") else ""
    names = (os.fspath(file1), os.fspath(file2), "" if stack is None else os.fspath(stack))
    if done.returncode in (0, 1):
        # A completed run always writes its result and the CSV asked for (its header at
        # least): without them the result would be silently empty.
        if result is None:
            raise CompareError(f"brindlewick ended with status {done.returncode} but wrote no "
                               "JSON result", "compare")
        if csv_path and not rows and not csv_written:
            raise CompareError(f"brindlewick ended with status {done.returncode} but wrote no "
                               "CSV", "compare")
        return CompareResult(*names, result["status"], done.returncode, result["reason"],
                             summaries(result), rows, log, reports, result, **verdict_of(result))
    reason = (result or {}).get("reason") or tool_said(done.stderr)
    if done.returncode < 0:
        reason = reason or f"brindlewick ended by signal {-done.returncode}"
    return CompareResult(*names, FAILED, done.returncode,
                         reason or f"brindlewick exit status {done.returncode}", {}, [], log,
                         reports, result or {}, **verdict_of(result or {}))


def tool_said(stderr: bytes) -> str:
    """Why the tool stopped, when it wrote no JSON result: its last "brindlewick: " line on
    standard error (a file with its path and cause) without that prefix, else all it wrote."""
    text = stderr.decode("utf-8", "replace")
    prefix = "brindlewick: "
    lines = [line for line in text.splitlines() if line.startswith(prefix)]
    return lines[-1][len(prefix):] if lines else text.strip()


def read_json(path: str) -> Optional[Dict[str, Any]]:
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except FileNotFoundError:
        return None
    except ValueError as e:
        raise CompareError(f"{path}: not a JSON result ({e})", "compare") from None
    if not isinstance(data, dict) or data.get("status") not in (IDENTICAL, DIFFER, FAILED):
        raise CompareError(f"{path}: no status in the JSON result", "compare")
    return data


def verdict_of(result: Dict[str, Any]) -> Dict[str, Any]:
    """The verdict's typed fields of a JSON result; empty ones for a result without them."""
    missing = result.get("not_compared", {})
    return dict(
        categories=tuple(result.get("categories", ())),
        excluded=tuple(result.get("excluded_categories", ())),
        not_counted=tuple(result.get("not_counted", ())),
        variables_only_in_file1=tuple(missing.get("variables_only_in_file1", ())),
        variables_only_in_file2=tuple(missing.get("variables_only_in_file2", ())),
        steps_only_in_file1=tuple(tuple(s) for s in missing.get("steps_only_in_file1", ())),
        steps_only_in_file2=tuple(tuple(s) for s in missing.get("steps_only_in_file2", ())),
        grid_differences=tuple(GridDifference(g["what"], g["file1"], g["file2"])
                               for g in result.get("grid", ())),
        header_differences=tuple(HeaderDifference(h["attribute"], h["variable"], h["file1"],
                                                  h["file2"]) for h in result.get("header", ())),
    )


def series_of(v: Dict[str, Any]) -> Optional[List[StepFigures]]:
    if v.get("series") is None:
        return None
    return [StepFigures(f["date"], f["time"], f["cells_differing"], f["largest_abs"], f["rms"])
            for f in v["series"]]


def read_json_document(path: str) -> Optional[Dict[str, Any]]:
    """Any JSON document the tool wrote; None when it wrote none."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        return None
    except ValueError as e:
        raise CompareError(f"{path}: not a JSON document ({e})", "compare") from None


def cell_of(e: Optional[Dict[str, Any]]) -> Optional[Cell]:
    if e is None:
        return None
    return Cell(e["date"], e["time"], e["layer"], e["column"], e["row"], e["latitude"],
                e["longitude"], e["value1"], e["value2"])


def summaries(result: Dict[str, Any]) -> Dict[str, VariableSummary]:
    """The per-variable summaries of a JSON result, in the tool's order."""
    out = {}
    for v in result.get("variables", []):
        first = v["first_difference"]
        out[v["name"]] = VariableSummary(
            name=v["name"], units=v["units"], cells_compared=v["cells_compared"],
            steps=v["steps"], cells_differing=v["cells_differing"],
            nan_against_number=v["nan_against_number"], steps_differing=v["steps_differing"],
            first_difference=None if first is None else tuple(first),
            max_abs_difference=None if v["largest_abs"] is None else v["largest_abs"]["difference"],
            max_abs_at=cell_of(v["largest_abs"]),
            max_rel_difference=None if v["largest_rel"] is None else v["largest_rel"]["difference"],
            max_rel_at=cell_of(v["largest_rel"]), rms=v["rms"], tolerance=v.get("tolerance"),
            margin=v.get("margin"), series=series_of(v))
    return out


def read_text(path: str) -> str:
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def read_csv(path: str) -> List[CsvRow]:
    """The tool's CSV of differing cells as rows; a header other than the tool's is an error,
    never read as data."""
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.reader(f)
        header = next(reader, None)
        if header != CSV_HEADER:
            raise CompareError(f"{path}: unexpected CSV header {header!r}", "compare")
        return [csv_row(r, path, n) for n, r in enumerate(reader, start=2)]


def csv_row(fields: List[str], path: str, line: int) -> CsvRow:
    if len(fields) != len(CSV_HEADER):
        raise CompareError(f"{path}:{line}: {len(fields)} fields, not {len(CSV_HEADER)}", "compare")
    ints = [int(v) for v in fields[1:6]]
    floats = [float(v) for v in fields[6:]]
    return CsvRow(fields[0], *ints, *floats)
