"""kavro-compare-many MANIFEST [--scheduler ADDRESS] (or python3 -m kavro): compares every
file pair of a manifest on a Dask cluster and prints one line per pair.
kavro-compare-many DIR1 DIR2 compares two folders pair by pair (kavro.compare_folders): on the
cluster with --scheduler, else with the tool's own folder run.

The manifest is CSV: file1, file2[, stack] per line (a pair without a stack, here or from
--stack, has its locations computed from the grid); blank lines and lines starting with # are
skipped, and a first line naming the columns (file1,file2,stack) is a header. Relative paths
(also after BIN:) are taken from the manifest's folder. Exit status: 0 when every pair is
identical, 1 when any differs, 2 when any failed (or the manifest cannot be read).
"""

import argparse
import csv
import os
import sys
from typing import List, Tuple

from . import _batch, _compare, _folders


# A manifest's file value with a relative path made absolute from the manifest's folder.
resolved = _compare.absolute


def read_manifest(path: str) -> List[Tuple[str, ...]]:
    folder = os.path.dirname(os.path.abspath(path))
    pairs = []
    with open(path, newline="", encoding="utf-8") as f:
        for n, fields in enumerate(csv.reader(f), start=1):
            if not fields or not "".join(fields).strip() or fields[0].lstrip().startswith("#"):
                continue
            if not pairs and [x.strip().lower() for x in fields[:2]] == ["file1", "file2"]:
                continue
            if len(fields) not in (2, 3):
                raise ValueError(f"{path}:{n}: expected file1,file2[,stack], got {len(fields)} fields")
            pairs.append(tuple(resolved(x, folder) for x in fields))
    return pairs


def write_csv(path: str, rows) -> None:
    with open(path, "x", newline="", encoding="utf-8") as f:
        out = csv.writer(f)
        out.writerow(["pair", "file1", "file2", "stack", "status", "categories",
                      "cells_differing", "worst_variable", "reason"])
        for r in rows:
            out.writerow([r.pair, r.file1, r.file2, r.stack, r.status, " ".join(r.categories),
                          "" if r.cells_differing is None else r.cells_differing,
                          r.worst_variable or "", r.reason])


def format_folders(result: _folders.FolderResult) -> str:
    """A folder run as the tool prints it: one line per pair, then the totals."""
    lines = []
    for p in result.pairs:
        line = f"{p['verdict']:<12}  {p['path']}"
        if p["verdict"] == _compare.FAILED:
            line += f"  {p['reason']}"
        elif p["verdict"] == _compare.DIFFER:
            line += "  " + (",".join(p["categories"]) or "-")
        lines.append(line)
    t = result.totals
    lines.append(f"{t['pairs']} pair{'' if t['pairs'] == 1 else 's'}: {t['identical']} identical, "
                 f"{t['differ']} differ, {t['failed']} failed, {t['only_in_dir1']} only in dir1, "
                 f"{t['only_in_dir2']} only in dir2")
    return "\n".join(lines) + "\n"


# How the command line gives a value of each kind of the tool's settings table: a number, a
# list A,B, or the tool's own text (checked by the tool's check when it reaches compare).
NUMBER_KINDS = {"tolerance": float, "count": int}
LIST_KINDS = ("names", "attributes", "categories")


def listed(text: str) -> List[str]:
    return text.split(",")


def add_tool_options(parser: argparse.ArgumentParser) -> List[str]:
    """The tool's settings as options, from its own table (each compare() keyword as
    --keyword with "-" for "_"), but any the command line has of its own; returns their
    keywords."""
    keys = []
    for key, row in _compare.tool_table().items():
        option = f"--{row['option']}"
        if row["kind"] == "yes_no":
            kind = {"action": "store_true", "default": None}
        else:
            kind = {"type": NUMBER_KINDS.get(row["kind"],
                                             listed if row["kind"] in LIST_KINDS else str),
                    "metavar": row["value"]}
        try:
            parser.add_argument(option, dest=key, help=row["help"].replace("%", "%%"), **kind)
        except argparse.ArgumentError:
            continue  # the command line's own
        keys.append(key)
    return keys


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="kavro-compare-many",
                                     description=__doc__.split("\n\n")[0])
    parser.add_argument("manifest", help="CSV of file1,file2[,stack]; or DIR1, with DIR2")
    parser.add_argument("dir2", nargs="?", help="the folder compared with the folder DIR1")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler "
                        "(tcp://host:8786); without it a local cluster runs the batch")
    parser.add_argument("--workers", type=int, default=2,
                        help="worker processes of the local cluster (default 2)")
    parser.add_argument("--stack", help="location file of the pairs that name none (without "
                        "one, their locations come from the grid's projection)")
    parser.add_argument("--timeout", type=float, help="seconds the whole batch may take")
    parser.add_argument("--csv", help="also write the table as CSV to this new file")
    tool = add_tool_options(parser)
    args = parser.parse_args(argv)
    try:
        pairs = [] if args.dir2 is not None else read_manifest(args.manifest)
        stack = resolved(args.stack, os.getcwd()) if args.stack else None
        settings = {key: getattr(args, key) for key in tool}
        client = None
        if args.scheduler:
            from dask import distributed
            client = distributed.Client(args.scheduler)
        if args.dir2 is not None:
            return compare_folders(args, client, stack, settings)
        try:
            rows = _batch.compare_many(pairs, stack, client, n_workers=args.workers,
                                       timeout=args.timeout, **settings)
        finally:
            if client is not None:
                client.close()
        if args.csv:
            write_csv(args.csv, rows)
    except (OSError, ValueError) as e:
        print(f"compare_many: {e}", file=sys.stderr)
        return 2
    sys.stdout.write(_batch.format_table(rows))
    return _batch.exit_status(rows)


def compare_folders(args, client, stack, settings) -> int:
    for path in (args.manifest, args.dir2):
        if not os.path.isdir(path):
            raise ValueError(f"{path}: not a folder (two folders are compared)")
    try:
        result = _folders.compare_folders(args.manifest, args.dir2, client, stack=stack,
                                          jobs=args.workers if client is None else None,
                                          timeout=args.timeout, **settings)
    finally:
        if client is not None:
            client.close()
    if args.csv:
        result.table.to_csv(args.csv, index=False, mode="x")
    sys.stdout.write(format_folders(result))
    return result.exit_status
