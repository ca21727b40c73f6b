"""Shared fixtures of the Python tests: the files come from the fixture writer and the sample
maker (netCDF C API), written once per session; the library's log goes to a session file."""

import os
import subprocess

import pytest

# The library opens its log once per process, on first use: point it at a file of the
# session before any test imports the package, and clear what the library or tool would read.
for _name in list(os.environ):
    if _name.startswith(("BRINDLEWICK_", "KAVRO_CHECK", "KAVRO_DIRECT")) or _name in (
            "LOGFILE", "SCENFILE", "EXECUTION_ID"):
        del os.environ[_name]

# How long a cluster test waits for its cluster or a result.
CLUSTER_SECONDS = 120


def _tool(variable):
    path = os.environ.get(variable)
    if not path:
        pytest.fail(f"{variable} is not set: run the tests through ctest")
    return path


@pytest.fixture(scope="session", autouse=True)
def session_log(tmp_path_factory):
    path = tmp_path_factory.mktemp("log") / "kavro.log"
    os.environ["LOGFILE"] = str(path)
    return path


@pytest.fixture(scope="session")
def files(tmp_path_factory):
    """grid.nc, day2.nc, same.nc, diff.nc, other_grid.nc, stack.nc, grid.bin (see
    write_python_fixtures.cpp)."""
    folder = tmp_path_factory.mktemp("files")
    # The writer's own log (it copies grid.bin through the library) must not take the
    # session's log file.
    subprocess.run([_tool("KAVRO_TEST_FIXTURE_WRITER"), str(folder)], check=True,
                   env=dict(os.environ, LOGFILE="/dev/null"), stdout=subprocess.DEVNULL)
    return folder

@pytest.fixture(scope="module")
def client():
    """A Dask cluster of two worker processes on the loopback (made per test module)."""
    from dask import distributed
    # The workers start without the session's LOGFILE (a file that exists by now): each one
    # logs through logging, as a cluster's workers should.
    logfile = os.environ.pop("LOGFILE", None)
    try:
        cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                           host="127.0.0.1", dashboard_address="127.0.0.1:0")
    finally:
        if logfile is not None:
            os.environ["LOGFILE"] = logfile
    with distributed.Client(cluster, timeout=CLUSTER_SECONDS) as c:
        yield c
    cluster.close()


@pytest.fixture(scope="session")
def sample(tmp_path_factory):
    """The bundled sample: stack.nc, run1.nc, run2.nc."""
    folder = tmp_path_factory.mktemp("sample")
    subprocess.run([_tool("KAVRO_TEST_MAKE_SAMPLE"), str(folder) + "/"], check=True,
                   stdout=subprocess.DEVNULL)
    return folder


def run_tool(folder, file1, file2, stack, **env):
    """brindlewick run directly with the summary and a CSV, as a reference: (status, log text,
    CSV text)."""
    log = folder / "direct.log"
    csv_path = folder / "direct.csv"
    for p in (log, csv_path):
        if p.exists():
            p.unlink()
    full = dict(os.environ, STACK1=str(stack), INFILE1=str(file1), INFILE2=str(file2),
                LOGFILE=str(log), BRINDLEWICK_SUMMARY="Y", BRINDLEWICK_CSV=str(csv_path), **env)
    from kavro import _compare
    done = subprocess.run([_compare.find_brindlewick()], env=full, capture_output=True)
    text = csv_path.read_text() if csv_path.exists() else ""
    return done.returncode, log.read_text(), text
