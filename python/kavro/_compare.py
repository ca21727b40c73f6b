"""One comparison of two gridded files by the brindlewick tool, run as a subprocess.

The tool is the comparison's only engine: this module sets its environment, runs it with the
summary and the CSV of differing cells turned on, and reads both back into a result object.
"""

import csv
import dataclasses
import os
import re
import shutil
import subprocess
import tempfile
from typing import Dict, List, Optional, Tuple

import numpy

from . import _build_info

# Settings accepted by compare(), and the variable each one sets.
SETTINGS = {
    "abs_tol": "BRINDLEWICK_ABS_TOL",
    "rel_tol": "BRINDLEWICK_REL_TOL",
    "max_reports": "BRINDLEWICK_MAX_REPORTS",
    "maps": "BRINDLEWICK_MAPS",
    "check_headers": "KAVRO_CHECK_HEADERS",
    "direct_read": "KAVRO_DIRECT_READ",
    "execution_id": "EXECUTION_ID",
    "scenfile": "SCENFILE",
}

# Outcomes of one comparison.
IDENTICAL = "identical"
DIFFER = "differ"
FAILED = "failed"

# The CSV's columns (the tool's header line) and their types in the structured array.
CSV_DTYPE = numpy.dtype([
    ("variable", "U16"), ("date", "i4"), ("time", "i4"), ("layer", "i4"), ("column", "i4"),
    ("row", "i4"), ("value1", "f8"), ("value2", "f8"), ("difference", "f8"),
    ("latitude", "f8"), ("longitude", "f8"), ("x", "f8"), ("y", "f8"),
])
CSV_HEADER = list(CSV_DTYPE.names)


class CompareError(RuntimeError):
    """The comparison could not be run at all (no brindlewick, a bad setting)."""


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
    stack: str
    status: str
    exit_status: int
    reason: str
    variables: Dict[str, VariableSummary]
    rows: List[CsvRow]
    log: str
    reports: str = ""

    @property
    def cells_differing(self) -> int:
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
    raise CompareError("brindlewick not found: set KAVRO_BRINDLEWICK to the program's path")


def setting_text(name: str, value) -> str:
    """A setting's value as the tool reads it: booleans as Y/N, numbers in Python's shortest
    form (which the tool reads back to the same double)."""
    if isinstance(value, bool):
        return "Y" if value else "N"
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, (int, str, os.PathLike)):
        return os.fspath(value) if isinstance(value, os.PathLike) else str(value)
    raise CompareError(f"setting {name}: {value!r} is not a number, text or yes/no")


def tool_environment(file1, file2, stack, csv_path, log_path, settings) -> Dict[str, str]:
    """The tool's environment: ours without any BRINDLEWICK_ setting or LOGFILE inherited
    (only this call's settings count), the three files, the log, the summary and the CSV
    (unless settings["csv"] is false), status 1 when cells differ, no reports unless asked
    for, and the extra logical names of settings["names"] (the members of a LIST: value)."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("BRINDLEWICK_") and k != "LOGFILE"}
    env.update({
        "STACK1": os.fspath(stack), "INFILE1": os.fspath(file1), "INFILE2": os.fspath(file2),
        "LOGFILE": log_path, "BRINDLEWICK_SUMMARY": "Y", "BRINDLEWICK_EXIT_ON_DIFF": "Y",
        "BRINDLEWICK_MAX_REPORTS": "0",
    })
    if settings.get("csv", True):
        env["BRINDLEWICK_CSV"] = csv_path
    for name, value in settings.items():
        if name == "csv":
            continue
        if name == "names":
            env.update({str(k): os.fspath(v) for k, v in value.items()})
            continue
        if name not in SETTINGS:
            raise CompareError(f"unknown setting {name!r}: known are csv, names, "
                               + ", ".join(sorted(SETTINGS)))
        if value is not None:
            env[SETTINGS[name]] = setting_text(name, value)
    return env


def compare(file1, file2, stack, *, timeout: Optional[float] = None, **settings) -> CompareResult:
    """Compares every variable of file2 with file1 at every step of file2, with the location
    file stack, by running brindlewick. Each file is a path or a value as the tool takes it
    ("BIN:path", "LIST:A,B" with names={"A": path, ...}).

    Settings: abs_tol, rel_tol (tolerances), max_reports (reports kept in result.reports;
    default none), maps (folder for difference maps), check_headers, direct_read (yes/no),
    execution_id, scenfile, names (extra logical names), csv (False: no rows, for pairs
    with millions of differing cells; the summaries still count them). A comparison that fails (a file
    missing, grids that do not fit) is a result with status "failed" and the log's reason;
    CompareError is raised only when the tool cannot be run."""
    tool = find_brindlewick()
    with tempfile.TemporaryDirectory(prefix="kavro_compare_") as work:
        csv_path = os.path.join(work, "cells.csv")
        log_path = os.path.join(work, "log")
        env = tool_environment(file1, file2, stack, csv_path, log_path, settings)
        try:
            done = subprocess.run([tool], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout, check=False)
        except OSError as e:
            raise CompareError(f"brindlewick could not be run ({tool}): {e.strerror}") from e
        log = read_text(log_path)
        completed = done.returncode in (0, 1)
        # A completed run always writes the CSV asked for (its header at least) and the
        # summary's closing table: without them the result would be silently empty.
        if completed and settings.get("csv", True) and not os.path.exists(csv_path):
            raise CompareError(f"brindlewick ended with status {done.returncode} but wrote no CSV")
        rows = read_csv(csv_path) if os.path.exists(csv_path) else []
    reports = done.stdout.decode("utf-8", "replace") if settings.get("max_reports") else ""
    if completed:
        if "Summary of all variables" not in log:
            raise CompareError(f"brindlewick ended with status {done.returncode} but its log "
                               "holds no summary")
        status = DIFFER if done.returncode == 1 else IDENTICAL
        return CompareResult(os.fspath(file1), os.fspath(file2), os.fspath(stack), status,
                             done.returncode, "", parse_summaries(log), rows, log, reports)
    reason = (tool_reason(done.stderr.decode("utf-8", "replace")) or abort_reason(log)
              or done.stderr.decode("utf-8", "replace").strip())
    if done.returncode < 0:
        reason = reason or f"brindlewick ended by signal {-done.returncode}"
    return CompareResult(os.fspath(file1), os.fspath(file2), os.fspath(stack), FAILED,
                         done.returncode, reason or f"brindlewick exit status {done.returncode}",
                         {}, [], log, reports)


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
            raise CompareError(f"{path}: unexpected CSV header {header!r}")
        return [csv_row(r, path, n) for n, r in enumerate(reader, start=2)]


def csv_row(fields: List[str], path: str, line: int) -> CsvRow:
    if len(fields) != len(CSV_HEADER):
        raise CompareError(f"{path}:{line}: {len(fields)} fields, not {len(CSV_HEADER)}")
    ints = [int(v) for v in fields[1:6]]
    floats = [float(v) for v in fields[6:]]
    return CsvRow(fields[0], *ints, *floats)


# The log's lines are written five blanks in; these match them without that margin.
_SUMMARY_HEAD = re.compile(r'^Summary of "(.*)" \((.*)\)$')
_LABELLED = re.compile(r"^  (.+?:)\s+(.*)$")
_COMPARED = re.compile(r"^(\d+) in (\d+) steps?$")
_STEPS = re.compile(r"^(\d+) of (\d+)(?:, first (-?\d+):(\d+))?$")
_AT = re.compile(r"^    at (-?\d+):(\d+) layer (-?\d+) column (-?\d+) row (-?\d+), "
                 r"latitude (\S+) longitude (\S+)$")
_VALUES = re.compile(r"^    INFILE1 (\S+), INFILE2 (\S+)$")


def log_lines(log: str) -> List[str]:
    return [line[5:] if line.startswith("     ") else line.lstrip() for line in log.splitlines()]


def parse_summaries(log: str) -> Dict[str, VariableSummary]:
    """The per-variable summary blocks of a log, in the tool's order."""
    lines = log_lines(log)
    out: Dict[str, VariableSummary] = {}
    i = 0
    while i < len(lines):
        head = _SUMMARY_HEAD.match(lines[i])
        if not head:
            i += 1
            continue
        fields: Dict[str, object] = {}
        i += 1
        while i < len(lines):
            m = _LABELLED.match(lines[i])
            if not m:
                break
            label, value = m.group(1), m.group(2)
            cell = None
            if value != "none" and label.startswith("largest"):
                cell = extreme_cell(lines[i + 1:i + 3])
                i += 2
            fields[label] = (value, cell)
            i += 1
        out[head.group(1)] = summary_from(head.group(1), head.group(2), fields)
    return out


def extreme_cell(two: List[str]) -> Cell:
    at = _AT.match(two[0]) if two else None
    values = _VALUES.match(two[1]) if len(two) > 1 else None
    if not at or not values:
        raise CompareError(f"unexpected summary lines: {two!r}")
    g = at.groups()
    return Cell(int(g[0]), int(g[1]), int(g[2]), int(g[3]), int(g[4]), float(g[5]), float(g[6]),
                float(values.group(1)), float(values.group(2)))


def summary_from(name: str, units: str, fields: Dict[str, object]) -> VariableSummary:
    def value(label):
        if label not in fields:
            raise CompareError(f'summary of "{name}" has no "{label}" line')
        return fields[label]

    compared = _COMPARED.match(value("cells compared:")[0])
    steps = _STEPS.match(value("steps with differences:")[0])
    if not compared or not steps:
        raise CompareError(f'summary of "{name}": unexpected counts')
    abs_text, abs_at = value("largest |difference|:")
    rel_text, rel_at = value("largest relative difference:")
    first = None if steps.group(3) is None else (int(steps.group(3)), int(steps.group(4)))
    return VariableSummary(
        name=name, units="" if units == "no units" else units,
        cells_compared=int(compared.group(1)), steps=int(compared.group(2)),
        cells_differing=int(value("cells differing:")[0]),
        nan_against_number=int(value("NaN against a number:")[0]),
        steps_differing=int(steps.group(1)), first_difference=first,
        max_abs_difference=None if abs_text == "none" else float(abs_text), max_abs_at=abs_at,
        max_rel_difference=None if rel_text == "none" else float(rel_text), max_rel_at=rel_at,
        rms=float(value("RMS difference:")[0]))


def tool_reason(stderr: str) -> str:
    """The tool's own line on why it stopped (a file with its path and cause), the last
    "brindlewick: " line of its standard error, without that prefix."""
    prefix = "brindlewick: "
    lines = [line for line in stderr.splitlines() if line.startswith(prefix)]
    return lines[-1][len(prefix):] if lines else ""


def abort_reason(log: str) -> str:
    """The text under the log's last "*** ERROR ABORT" line, up to the next blank line."""
    lines = log_lines(log)
    starts = [i for i, line in enumerate(lines) if line.startswith("*** ERROR ABORT")]
    if not starts:
        return ""
    reason = []
    for line in lines[starts[-1] + 1:]:
        if not line.strip():
            break
        reason.append(line.strip())
    return " ".join(reason)
