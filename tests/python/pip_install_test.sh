#!/usr/bin/env bash
# pip_install_test.sh SOURCE BUILD WORK MAKE_SAMPLE
# The Python package as pip installs it: a fresh virtual environment over Debian's packages
# (--system-site-packages), pip install --no-build-isolation --no-index SOURCE, and then, from
# the environment alone: the xarray engine is registered, the console script runs, a file
# compared with itself under nan_equal is identical, nothing is printed, and pip uninstall
# removes every file. BUILD is an existing CMake build folder whose compiled objects the
# install reuses (KAVRO_CMAKE_BUILD_DIR), so the test takes seconds, not a full build.
set -euo pipefail
source=$1 build=$2 work=$3 make_sample=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"
/usr/bin/python3 -m venv --system-site-packages venv
py=$work/venv/bin/python
KAVRO_CMAKE_BUILD_DIR=$build "$py" -m pip install -q --no-build-isolation --no-index "$source" \
  >pip.out 2>&1 || { cat pip.out; fail "pip install"; }
site=$("$py" -c 'import sysconfig; print(sysconfig.get_path("platlib"))')
[ -f "$site/kavro/__init__.py" ] || fail "no package in $site"

"$make_sample" "$work/sample/" >/dev/null
# From the environment alone: no PYTHONPATH, no LOGFILE, and nothing on standard output or
# standard error.
env -u PYTHONPATH -u LOGFILE -u KAVRO_BANNER "$py" - "$work/sample" >out.txt 2>err.txt <<'PY' ||
import os, sys
import xarray
import kavro
sample = sys.argv[1]
assert kavro.__file__.startswith(sys.prefix), kavro.__file__
assert "kavro" in xarray.backends.list_engines()
run, stack = os.path.join(sample, "run2.nc"), os.path.join(sample, "stack.nc")
assert kavro.compare(run, run, stack).status == "differ"  # NaN against NaN
assert kavro.compare(run, run, stack, nan_equal=True).status == "identical"
with xarray.open_dataset(run, engine="kavro") as ds:
    assert ds["O3"].shape[0] == 4
PY
  { cat err.txt; fail "the installed package"; }
[ ! -s out.txt ] || fail "the package printed: $(cat out.txt)"
[ ! -s err.txt ] || fail "the package wrote on standard error: $(cat err.txt)"
"$work/venv/bin/kavro-compare-many" --help | grep -q "^usage: kavro-compare-many" ||
  fail "the console script"

"$py" -m pip uninstall -q -y kavro >/dev/null || fail "pip uninstall"
left=$(find "$site" -path "*kavro*" | head -5)
[ -z "$left" ] || fail "left after pip uninstall: $left"
[ ! -e "$work/venv/bin/kavro-compare-many" ] || fail "the console script is left"
echo "pip install, use and uninstall: ok"
