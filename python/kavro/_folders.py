"""Two folders compared pair by pair: every file of either folder paired by its path relative
to its folder, each pair compared as kavro.compare compares two files.

Without a Dask client the tool's own folder run does the work (brindlewick DIR1 DIR2 --jobs N
--json PATH: one process that forks a child per pair); with one, the pairs are listed here and
each is one task on the cluster, so the pairs spread over its machines. Both give the same
result: the tool's folder document.
"""

import dataclasses
import fnmatch
import os
import subprocess
import tempfile
from typing import Any, Dict, Iterable, List, Optional

from . import _compare

# What an accept leaves in a baseline folder: never paired.
ACCEPTED_LOG = ".brindlewick-accepted.log"
REPLACED_FOLDER = ".brindlewick-replaced"
ACCEPT_TEMP = ".brindlewick-accept."

ONLY_IN_DIR1 = "only_in_dir1"
ONLY_IN_DIR2 = "only_in_dir2"


@dataclasses.dataclass(frozen=True)
class FolderResult:
    """What a folder run found, as the tool's folder document gives it: verdict "identical",
    "differ" or "failed"; totals (pairs, identical, differ, failed, only_in_dir1,
    only_in_dir2); pairs, one dict per relative path (path, file1, file2, verdict,
    categories, reason, exit_status, result: the pair's own document or None)."""

    document: Dict[str, Any] = dataclasses.field(repr=False)
    pairs: List[Dict[str, Any]] = dataclasses.field(repr=False)
    totals: Dict[str, int]
    verdict: str

    @property
    def exit_status(self) -> int:
        """The tool's: 2 when a pair failed, 1 when the folders differ, 0 otherwise."""
        return {"failed": 2, "differ": 1}.get(self.verdict, 0)

    @property
    def table(self):
        """One row per pair as a pandas DataFrame: path, verdict, categories, cells_differing,
        largest_difference, reason, exit_status, file1, file2."""
        import pandas  # only the table needs pandas

        rows = []
        for p in self.pairs:
            variables = (p.get("result") or {}).get("variables", [])
            largest = [v["largest_abs"]["difference"] for v in variables
                       if v.get("largest_abs") and v["largest_abs"].get("difference") is not None]
            rows.append({"path": p["path"], "verdict": p["verdict"],
                         "categories": ",".join(p["categories"]),
                         "cells_differing": sum(v.get("cells_differing", 0) for v in variables),
                         "largest_difference": max(largest) if largest else None,
                         "reason": p["reason"], "exit_status": p["exit_status"],
                         "file1": p["file1"], "file2": p["file2"]})
        columns = ["path", "verdict", "categories", "cells_differing", "largest_difference",
                   "reason", "exit_status", "file1", "file2"]
        return pandas.DataFrame(rows, columns=columns)


def result_of(document: Dict[str, Any]) -> FolderResult:
    return FolderResult(document, document["pairs"], document["totals"], document["verdict"])


# ---- Pairing, for the cluster: the tool's rule ----------------------------------------------

def paired(rel: str, include: Iterable[str], exclude: Iterable[str]) -> bool:
    """The tool's rule: fnmatch on the relative path ('*' crosses '/'); never an accept's
    files."""
    if rel == ACCEPTED_LOG or rel.startswith(REPLACED_FOLDER + "/") \
            or os.path.basename(rel).startswith(ACCEPT_TEMP):
        return False
    include = list(include)
    if include and not any(fnmatch.fnmatchcase(rel, p) for p in include):
        return False
    return not any(fnmatch.fnmatchcase(rel, p) for p in exclude)


def files_of(root: str, include, exclude) -> Dict[str, str]:
    out = {}
    for folder, _, names in os.walk(root, onerror=raise_error):
        for name in names:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            if os.path.isfile(path) and paired(rel, include, exclude):
                out[rel] = path
    return out


def raise_error(e: OSError) -> None:
    raise e


def pair_paths(dir1, dir2, include=(), exclude=()) -> List[Dict[str, str]]:
    """Every relative path of either folder with its file on each side ("" where missing),
    sorted by path as the tool sorts them (bytewise)."""
    a = files_of(os.fspath(dir1), include, exclude)
    b = files_of(os.fspath(dir2), include, exclude)
    return [{"path": rel, "file1": a.get(rel, ""), "file2": b.get(rel, "")}
            for rel in sorted(set(a) | set(b), key=lambda r: r.encode("utf-8", "surrogateescape"))]


def compare_pair(job) -> Dict[str, Any]:
    """One task: one pair's entry of the folder document."""
    entry, stack, settings = job
    base = dict(entry, categories=[], reason="", exit_status=0, result=None)
    if not entry["file1"] or not entry["file2"]:
        side = ONLY_IN_DIR1 if entry["file1"] else ONLY_IN_DIR2
        return dict(base, verdict=side, reason=side.replace("_", " "))
    try:
        r = _compare.compare(entry["file1"], entry["file2"], stack, csv=False, **settings)
    except Exception as e:  # noqa: BLE001 - a pair's failure is its entry, whatever it was
        return dict(base, verdict=_compare.FAILED, reason=f"{type(e).__name__}: {e}",
                    exit_status=2)
    categories = r.json.get("categories")
    if categories is None:
        categories = ["cells"] if r.status == _compare.DIFFER and r.cells_differing else []
    return dict(base, verdict=r.status, categories=list(categories), reason=r.reason,
                exit_status=r.exit_status, result=r.json or None)


def document_of(dir1, dir2, pairs: List[Dict[str, Any]]) -> Dict[str, Any]:
    totals = {"pairs": len(pairs)}
    for name in (_compare.IDENTICAL, _compare.DIFFER, _compare.FAILED, ONLY_IN_DIR1,
                 ONLY_IN_DIR2):
        totals[name] = sum(1 for p in pairs if p["verdict"] == name)
    if totals[_compare.FAILED]:
        verdict = _compare.FAILED
    elif totals[_compare.DIFFER] or totals[ONLY_IN_DIR1] or totals[ONLY_IN_DIR2]:
        verdict = _compare.DIFFER
    else:
        verdict = _compare.IDENTICAL
    return {"schema": "brindlewick-folders", "schema_version": 1, "dir1": os.fspath(dir1),
            "dir2": os.fspath(dir2), "verdict": verdict, "totals": totals, "pairs": pairs}


# ---- The tool's own folder run ----------------------------------------------------------------

def run_tool(dir1, dir2, stack, include, exclude, jobs, timeout, settings) -> Dict[str, Any]:
    tool = _compare.find_brindlewick()
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("BRINDLEWICK_") and k not in ("LOGFILE", "STACK1")}
    env.update(_compare.setting_environment(settings))
    with tempfile.TemporaryDirectory(prefix="kavro_folders_") as work:
        out = os.path.join(work, "folders.json")
        command = [tool, os.fspath(dir1), os.fspath(dir2), "--json", out]
        if jobs:
            command += ["--jobs", str(int(jobs))]
        if stack is not None:
            command += ["--stack", os.fspath(stack)]
        for p in include:
            command += ["--include", p]
        for p in exclude:
            command += ["--exclude-files", p]
        try:
            done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=timeout, check=False)
        except OSError as e:
            raise _compare.CompareError(f"brindlewick could not be run ({tool}): {e.strerror}",
                                        "compare_folders") from e
        document = _compare.read_json_document(out)
    if document is None or document.get("schema") != "brindlewick-folders":
        said = done.stderr.decode("utf-8", "replace").strip()
        raise _compare.CompareError(f"brindlewick ended with status {done.returncode} and no "
                                    f"folder document: {said}", "compare_folders")
    return document


def compare_folders(dir1, dir2, client=None, *, stack=None, include: Iterable[str] = (),
                    exclude_files: Iterable[str] = (), jobs: Optional[int] = None,
                    timeout: Optional[float] = None, **settings) -> FolderResult:
    """Compares every file of folder dir1 with the file at the same relative path in dir2
    (recursively; include/exclude_files: fnmatch patterns on the relative path, '*' crossing
    '/', as the tool's --include and --exclude-files; exclude= is compare()'s, variables).
    A file on one side only is a pair with verdict "only_in_dir1" or "only_in_dir2"; a pair
    that cannot be compared is "failed". Settings are compare()'s, checked first.

    client, a dask.distributed.Client: one task per pair on its cluster (kavro.compare in the
    worker). Without one, the tool's folder run with `jobs` pairs at once (default: the
    cores). timeout bounds the whole run in seconds."""
    _compare.setting_environment(settings)
    include, exclude = list(include), list(exclude_files)
    settings.pop("csv", None)  # a folder run keeps no rows
    if client is None:
        return result_of(run_tool(dir1, dir2, stack, include, exclude, jobs, timeout, settings))
    from dask import distributed  # only a cluster run needs Dask

    jobs_list = [(entry, stack, dict(settings)) for entry in pair_paths(dir1, dir2, include,
                                                                         exclude)]
    futures = client.map(compare_pair, jobs_list, pure=False)
    distributed.wait(futures, timeout=timeout)
    return result_of(document_of(dir1, dir2, client.gather(futures)))
