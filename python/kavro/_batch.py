"""Many comparisons at once on a Dask distributed cluster: one file pair per task.

Each task runs one whole comparison (brindlewick in a subprocess) in a worker process; the
library keeps one state per process, so pairs never share one. A pair that fails is a result
with status "failed", never an exception that stops the batch.
"""

import dataclasses
import os
from typing import Iterable, List, Optional, Sequence, Tuple, Union

from . import _compare

Pair = Union[Tuple[str, str], Tuple[str, str, Optional[str]]]


@dataclasses.dataclass(frozen=True)
class PairResult:
    """One row of a batch's table. result is the whole CompareResult, None when the task
    itself failed (reason says why)."""

    pair: int  # 1-based, in the order given
    file1: str
    file2: str
    stack: str  # "" without a location file
    status: str
    cells_differing: Optional[int]  # None for a pair that failed
    worst_variable: Optional[str]
    reason: str
    result: Optional[_compare.CompareResult] = dataclasses.field(default=None, compare=False)
    # The kinds of difference that made the verdict "differ" (see CompareResult.categories).
    categories: Tuple[str, ...] = ()


def row_of(pair: int, file1, file2, result: _compare.CompareResult) -> PairResult:
    failed = result.status == _compare.FAILED
    return PairResult(pair, os.fspath(file1), os.fspath(file2), result.stack, result.status,
                      None if failed else result.cells_differing, result.worst_variable,
                      result.reason, result, result.categories)


def run_pair(job) -> PairResult:
    """One task: compares one pair; any failure becomes the pair's result."""
    pair, file1, file2, stack, settings = job
    try:
        return row_of(pair, file1, file2, _compare.compare(file1, file2, stack, **settings))
    except Exception as e:  # noqa: BLE001 - a pair's failure is its result, whatever it was
        return PairResult(pair, str(file1), str(file2), "" if stack is None else str(stack),
                          _compare.FAILED, None, None, f"{type(e).__name__}: {e}")


def jobs_of(pairs: Iterable[Sequence], stack, settings) -> List[tuple]:
    jobs = []
    for n, p in enumerate(pairs, start=1):
        if len(p) not in (2, 3):
            raise ValueError(f"pair {n}: expected (file1, file2[, stack]), got {p!r}")
        own_stack = p[2] if len(p) == 3 and p[2] else stack
        jobs.append((n, p[0], p[1], own_stack, dict(settings)))
    return jobs


def compare_many(pairs: Iterable[Pair], stack=None, client=None, *, n_workers: int = 2,
                 timeout: Optional[float] = None, **settings) -> List[PairResult]:
    """Compares every pair (file1, file2[, stack]) on a Dask cluster and returns one row per
    pair, in the order given. stack is the location file of the pairs that name none; a pair
    with neither has its locations computed from the grid (compare() without stack). client
    is a dask.distributed.Client; without one a LocalCluster of n_workers single-threaded
    worker processes on the loopback interface runs the batch and is closed after it.
    timeout bounds the whole batch in seconds (dask's TimeoutError past it); settings are
    compare()'s, checked before anything runs (SettingError names a bad one)."""
    from dask import distributed  # only a batch needs Dask

    _compare.checked_settings(settings)
    jobs = jobs_of(pairs, stack, settings)
    if not jobs:
        return []
    own = None
    if client is None:
        # Everything on the loopback interface, the scheduler's HTTP port included (any free
        # one: a fixed port would clash with another cluster on the machine).
        cluster = distributed.LocalCluster(n_workers=n_workers, threads_per_worker=1,
                                           processes=True, host="127.0.0.1",
                                           dashboard_address="127.0.0.1:0")
        own = distributed.Client(cluster)
        client = own
    try:
        futures = client.map(run_pair, jobs, pure=False)
        distributed.wait(futures, timeout=timeout)
        rows = client.gather(futures)
    finally:
        if own is not None:
            cluster = own.cluster
            own.close()
            cluster.close()
    return sorted(rows, key=lambda r: r.pair)


def exit_status(rows: Iterable[PairResult]) -> int:
    """2 when any pair failed, else 1 when any differs, else 0."""
    statuses = {r.status for r in rows}
    if _compare.FAILED in statuses:
        return 2
    return 1 if _compare.DIFFER in statuses else 0


def format_table(rows: Sequence[PairResult]) -> str:
    """The batch as an aligned text table, one line per pair and a closing count."""
    head = ("pair", "status", "differing in", "cells differing", "worst variable", "file1",
            "file2", "reason")
    body = [(str(r.pair), r.status, ",".join(r.categories) or "-",
             "-" if r.cells_differing is None else str(r.cells_differing),
             r.worst_variable or "-", r.file1, r.file2, r.reason) for r in rows]
    widths = [max(len(line[i]) for line in [head] + body) for i in range(len(head))]
    lines = ["  ".join(f.ljust(w) for f, w in zip(line, widths)).rstrip()
             for line in [head] + body]
    counts = {s: sum(1 for r in rows if r.status == s)
              for s in (_compare.IDENTICAL, _compare.DIFFER, _compare.FAILED)}
    lines.append(f"{len(rows)} pairs: {counts[_compare.IDENTICAL]} identical, "
                 f"{counts[_compare.DIFFER]} differ, {counts[_compare.FAILED]} failed")
    return "\n".join(lines) + "\n"
