"""The package prints nothing: the library's log goes to logging.getLogger("kavro"), or to the
file LOGFILE names, and the banner to standard output only when the caller asks for it. Each
case runs in a process of its own (the log is chosen once per process), with its descriptors
1 and 2 captured, so a write below Python's sys.stdout counts too."""

import json
import os
import subprocess
import sys

import pytest

SCRIPT = r"""
import json, logging, os, sys
records = []
class Keep(logging.Handler):
    def emit(self, record):
        records.append([record.levelname, record.getMessage()])
log = logging.getLogger("kavro")
log.addHandler(Keep())
log.setLevel(logging.INFO)
import xarray
import kavro
files, sample, out = sys.argv[1:4]
with kavro.open(os.path.join(files, "grid.nc")) as f:
    f.read("O3", 0)
try:
    kavro.open(os.path.join(files, "missing.nc"))
except kavro.OpenError:
    pass
with xarray.open_dataset(os.path.join(files, "grid.nc"), engine="kavro") as ds:
    ds["TEMP"].values
runs = [os.path.join(sample, n) for n in ("run1.nc", "run2.nc", "stack.nc")]
assert kavro.compare(*runs).status == "differ"
rows = kavro.compare_many([runs[:2]], runs[2], n_workers=1, timeout=120)
assert [r.status for r in rows] == ["differ"], rows
with open(out, "w") as f:
    json.dump(records, f)
"""


@pytest.mark.parametrize("logfile, banner, banner_shown, logged", [
    # No LOGFILE: the log goes to logging; no banner unless the caller asks for one.
    (False, None, False, True),
    (False, "Y", True, True),
    # LOGFILE: the log goes to its file, never to logging.
    (True, None, False, False),
    (True, "Y", True, False),
])
def test_nothing_printed(files, sample, tmp_path, logfile, banner, banner_shown, logged):
    env = {k: v for k, v in os.environ.items() if k not in ("LOGFILE", "KAVRO_BANNER")}
    log_path = tmp_path / "kavro.log"
    if logfile:
        env["LOGFILE"] = str(log_path)
    if banner is not None:
        env["KAVRO_BANNER"] = banner
    out = tmp_path / "records.json"
    done = subprocess.run([sys.executable, "-c", SCRIPT, str(files), str(sample), str(out)],
                          env=env, capture_output=True, timeout=300, check=False)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stderr == b""
    if banner_shown:
        assert b"     Library release tag: $JDate: 2010068 $" in done.stdout
        assert b"MXVARS3" not in done.stdout
    else:
        assert done.stdout == b""
    records = json.loads(out.read_text())
    messages = [m for _, m in records]
    if not logged:
        assert records == [] and "opened as OLD:READ-ONLY" in log_path.read_text()
        return
    # Lines as the log has them, without the log's margin; blank lines left out.
    assert "Library release tag: $JDate: 2010068 $" in messages
    assert any(m.endswith("opened as OLD:READ-ONLY") for m in messages)
    assert all(m.strip() and not m.startswith("     ") for m in messages)
    warnings = [m for level, m in records if level == "WARNING"]
    assert warnings and all(level in ("INFO", "WARNING") for level, _ in records)
    assert not any("opened as" in m for m in warnings)


FAILED_OPEN = r"""
import json, logging, sys
path, handler, out = sys.argv[1:4]
records = []
if handler == "handler":
    class Keep(logging.Handler):
        def emit(self, record):
            records.append([record.levelname, record.getMessage()])
    logging.getLogger("kavro").addHandler(Keep())
    logging.getLogger("kavro").setLevel(logging.INFO)
import kavro
try:
    kavro.open(path)
except kavro.Error:
    pass
else:
    sys.exit("opened " + path)
with open(out, "w") as f:
    json.dump(records, f)
"""


@pytest.mark.parametrize("content", [None, b"not a netCDF file\n"], ids=["missing", "not_netcdf"])
@pytest.mark.parametrize("handler", ["handler", "none"])
def test_failed_open_warns_through_logging(tmp_path, capfd, content, handler):
    """A failed open caught by the caller: its warning reaches logging.getLogger("kavro"),
    naming the path the caller gave (never the library's own name for it), and nothing reaches
    standard output or standard error, whether logging is configured or not (the package's
    NullHandler keeps logging's last resort quiet). The script's descriptors are this test's,
    so capfd sees whatever it writes below Python too."""
    path = tmp_path / "grid.nc"
    if content is not None:
        path.write_bytes(content)
    out = tmp_path / "records.json"
    env = {k: v for k, v in os.environ.items() if k not in ("LOGFILE", "KAVRO_BANNER")}
    done = subprocess.run([sys.executable, "-c", FAILED_OPEN, str(path), handler, str(out)],
                          env=env, timeout=120, check=False)
    captured = capfd.readouterr()
    assert done.returncode == 0 and captured.out == "" and captured.err == ""
    records = json.loads(out.read_text())
    if handler == "none":
        assert records == []
        return
    assert not any("KAVROFILE" in m for _, m in records), records
    if content is None:
        # The line that says which path the file's logical name stands for is the path alone.
        assert ["INFO", str(path)] in records
        assert ["WARNING", ">>--->> WARNING in subroutine OPEN3"] in records
        assert ["WARNING", "File not available."] in records
    else:
        # The failed netCDF call names the file by its path.
        assert any(level == "WARNING" and f'"{path}"' in m for level, m in records), records
