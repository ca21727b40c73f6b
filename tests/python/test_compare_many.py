"""kavro.compare_many on a 2-worker LocalCluster (loopback only, bounded in time): a batch's rows
equal each pair compared alone, and broken pairs are rows, not exceptions."""

import subprocess
import sys

import pytest
from dask import distributed

import kavro
from kavro import _batch, cli

BATCH_SECONDS = 120


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address="127.0.0.1:0")
    with distributed.Client(cluster) as c:
        yield c
    cluster.close()


def pairs_of(files):
    return [
        (files / "grid.nc", files / "same.nc"),                     # identical
        (files / "grid.nc", files / "diff.nc"),                     # differs
        (files / "grid.nc", files / "missing.nc"),                  # cannot be opened
        (files / "grid.nc", files / "other_grid.nc"),               # does not fit
        (files / "same.nc", files / "grid.nc", files / "stack.nc"),  # its own stack, identical
        (files / "diff.nc", files / "grid.nc", files / "no_stack.nc"),  # its stack is missing
    ]


def test_batch_equals_pairs_alone(files, client):
    pairs = pairs_of(files)
    rows = kavro.compare_many(pairs, files / "stack.nc", client, timeout=BATCH_SECONDS)
    assert [(r.pair, r.status) for r in rows] == [
        (1, "identical"), (2, "differ"), (3, "failed"), (4, "failed"), (5, "identical"),
        (6, "failed")]
    for row, p in zip(rows, pairs):
        alone = kavro.compare(p[0], p[1], p[2] if len(p) == 3 else files / "stack.nc")
        assert (row.file1, row.file2) == (str(p[0]), str(p[1]))
        assert (row.status, row.cells_differing, row.worst_variable, row.reason) == (
            alone.status, alone.cells_differing, alone.worst_variable, alone.reason)
        # repr: exact for every float, and a NaN equals a NaN.
        assert repr(row.result.variables) == repr(alone.variables)
        assert repr(row.result.rows) == repr(alone.rows)
    assert (rows[1].cells_differing, rows[1].worst_variable) == (2, "O3")
    assert rows[2].reason == f"INFILE2 ({files / 'missing.nc'}): no such file"
    assert _batch.exit_status(rows) == 2
    assert _batch.exit_status(rows[:2]) == 1 and _batch.exit_status(rows[:1]) == 0


def test_task_failures_are_rows(files, client, monkeypatch):
    """A task that fails in its worker (here: a file that is no path) is a failed row; a bad
    setting is refused before any task runs."""
    rows = kavro.compare_many([(files / "grid.nc", 42), pairs_of(files)[0]], files / "stack.nc",
                              client, timeout=BATCH_SECONDS)
    assert [r.status for r in rows] == ["failed", "identical"]
    assert rows[0].reason.startswith("TypeError: ")
    # Neither a stack nor a third field: the locations come from the grid.
    row, = kavro.compare_many(pairs_of(files)[1:2], None, client, timeout=BATCH_SECONDS)
    assert (row.status, row.stack, row.cells_differing) == ("differ", "", 2)
    with pytest.raises(kavro.SettingError, match="unknown setting 'colour'"):
        kavro.compare_many(pairs_of(files)[:1], files / "stack.nc", client, colour="red")
    with pytest.raises(ValueError, match="nan_equal='Y': True or False"):
        kavro.compare_many(pairs_of(files)[:1], files / "stack.nc", client, nan_equal="Y")


def test_table_text(files):
    rows = [_batch.PairResult(1, "a.nc", "b.nc", "s.nc", "identical", 0, None, ""),
            _batch.PairResult(12, "a.nc", "long_name.nc", "s.nc", "differ", 40, "O3", "",
                              categories=("cells", "header")),
            _batch.PairResult(3, "a.nc", "x.nc", "s.nc", "failed", None, None, "no file")]
    assert _batch.format_table(rows) == (
        "pair  status     differing in  cells differing  worst variable  file1  file2         "
        "reason\n"
        "1     identical  -             0                -               a.nc   b.nc\n"
        "12    differ     cells,header  40               O3              a.nc   long_name.nc\n"
        "3     failed     -             -                -               a.nc   x.nc          "
        "no file\n"
        "3 pairs: 1 identical, 1 differ, 1 failed\n")


def test_manifest_reading(tmp_path):
    """Header, comments and blank lines skipped; relative paths (also after BIN:) from the
    manifest's folder; LIST: values (quoted, they hold commas) kept as they are."""
    (tmp_path / "m.csv").write_text(
        "file1,file2,stack\n# a comment\n\nrun1.nc, BIN:run2.bin\n"
        '/abs/a.nc,"LIST:A,B",other/stack.nc\n')
    assert cli.read_manifest(str(tmp_path / "m.csv")) == [
        (str(tmp_path / "run1.nc"), "BIN:" + str(tmp_path / "run2.bin")),
        ("/abs/a.nc", "LIST:A,B", str(tmp_path / "other/stack.nc")),
    ]
    (tmp_path / "q.csv").write_text("a.nc,b.nc\none.nc\n")
    with pytest.raises(ValueError, match=r"q.csv:2: expected file1,file2\[,stack\]"):
        cli.read_manifest(str(tmp_path / "q.csv"))


def test_command_line_on_a_scheduler(files, tmp_path, client):
    """The command-line front on the test's scheduler: the table, the CSV and exit 2 when a
    pair failed, 1 when one differs, 0 when all are identical."""
    def run(manifest_lines, *extra):
        manifest = tmp_path / "manifest.csv"
        manifest.write_text("".join(line + "\n" for line in manifest_lines))
        return subprocess.run(
            [sys.executable, "-m", "kavro", str(manifest), "--scheduler",
             client.scheduler.address, "--stack", str(files / "stack.nc"),
             "--timeout", str(BATCH_SECONDS), *extra],
            capture_output=True, text=True, timeout=BATCH_SECONDS)

    g, s, d = (str(files / n) for n in ("grid.nc", "same.nc", "diff.nc"))
    done = run([f"{g},{s}", f"{g},{d}", f"{g},{files / 'missing.nc'}"], "--csv",
               str(tmp_path / "table.csv"))
    assert done.returncode == 2, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].split() == ["pair", "status", "differing", "in", "cells", "differing",
                                "worst", "variable", "file1", "file2", "reason"]
    assert [line.split()[:5] for line in lines[1:4]] == [
        ["1", "identical", "-", "0", "-"], ["2", "differ", "cells", "2", "O3"],
        ["3", "failed", "-", "-", "-"]]
    assert lines[4] == "3 pairs: 1 identical, 1 differ, 1 failed"
    table = (tmp_path / "table.csv").read_text().splitlines()
    assert table[0] == ("pair,file1,file2,stack,status,categories,cells_differing,"
                        "worst_variable,reason")
    assert table[2] == f"2,{g},{d},{files / 'stack.nc'},differ,cells,2,O3,"
    assert run([f"{g},{s}", f"{g},{d}"]).returncode == 1
    # Settings reach every pair: only O3, whose one changed cell differs.
    chosen = run([f"{g},{d}"], "--variables", "O3", "--nan-equal")
    assert chosen.stdout.splitlines()[1].split()[:5] == ["1", "differ", "cells", "1", "O3"], \
        chosen.stderr
    assert run([f"{g},{s}"]).returncode == 0
    # Every setting of the tool's table is an option, with the tool's own check.
    tolerated = run([f"{g},{d}"], "--abs-tol", "1e6", "--only-common", "--exclude", "TEMP")
    assert tolerated.returncode == 0, tolerated.stderr
    refused = run([f"{g},{d}"], "--steps", "2024033:25")
    assert refused.returncode == 2 and "steps" in refused.stderr, refused.stderr
    bad = run([f"{g}"])
    assert bad.returncode == 2 and "expected file1,file2[,stack]" in bad.stderr


def test_own_local_cluster(files):
    """Without a client the batch starts its own 2-worker cluster and closes it."""
    rows = kavro.compare_many(pairs_of(files)[:2], files / "stack.nc", timeout=BATCH_SECONDS)
    assert [(r.status, r.cells_differing) for r in rows] == [("identical", 0), ("differ", 2)]
