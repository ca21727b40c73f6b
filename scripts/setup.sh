#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine. Quick and silent when all is there.
set -euo pipefail
need=()
# gfortran builds the Fortran module, groff checks the manual pages, pkgconf tests kavro.pc,
# libpng writes the difference maps; PROJ (libproj-dev, proj-data) computes cell locations from
# a grid's projection, and pyproj checks them in the tests; clang with its runtime libraries
# builds the libFuzzer targets (scripts/fuzz.sh); python3 sums the coverage
# (scripts/coverage.sh, with gcc's gcov); binutils' readelf checks the installed library's
# SONAME (tests/install); clang-format checks the sources' layout (scripts/check_format.sh);
# ccache keeps compiled objects between builds; CLI11 (libcli11-dev) parses brindlewick's
# options and toml++ (libtomlplusplus-dev) reads its per-variable tolerance files. The Python module builds with pybind11 for
# Debian's python3; its tests use numpy, xarray (with the netCDF4 and scipy engines to check
# against), Dask's distributed scheduler, pandas (a folder run's table) and pytest; pip
# installs it (setuptools and wheel build it, venv makes the test's fresh environment). Everything else the scripts call (sh,
# sed, grep, cmp, tail, find, nproc) is in every Debian system. nlohmann-json reads and writes
# the folder run's JSON documents.
for pkg in cmake g++ make libnetcdf-dev netcdf-bin libgtest-dev googletest libbenchmark-dev \
  gfortran groff-base pkgconf libpng-dev clang libclang-rt-14-dev binutils clang-format ccache \
  python3 python3-dev pybind11-dev python3-pybind11 python3-numpy python3-xarray python3-dask \
  python3-distributed python3-pytest python3-netcdf4 python3-scipy python3-setuptools \
  python3-wheel python3-pip python3-venv libproj-dev proj-data python3-pyproj libcli11-dev \
  libtomlplusplus-dev python3-pandas nlohmann-json3-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
# For the tests only, not the build: headless Chromium opens the HTML report and its DOM and
# screenshot are checked (tests/browser, label browser); xmllint (libxml2-utils) checks the
# JUnit report against a schema.
for pkg in chromium libxml2-utils; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
