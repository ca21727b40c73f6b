#!/usr/bin/env bash
# scripts/check_netcdf_door.sh on a small tree of its own: a call of nc_open, nc_open_mem or
# nc__open outside lib/netcdf/classic/open_existing.cpp (in the library, the tool, the Python
# module, a macro included) is printed with its line, and the check fails; the same calls in the door
# itself, in comments, in the fixture writer and in the tests, and nc_create anywhere, pass.
set -euo pipefail
script="$1/scripts/check_netcdf_door.sh"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/lib/netcdf/classic "$tree"/driver/run "$tree"/python/kavro "$tree"/tools/gridwriter \
  "$tree"/tests/unit
printf 'int f() { return nc_open(p, 0, &id); }\n' >"$tree/lib/netcdf/classic/open_existing.cpp"
printf '// nc_open is called by the door only\n/* nc_open(p) would crash\n * nc_open_mem(p)\n */\nint g() { return nc_create(p, 0, &id); }\n' \
  >"$tree/lib/netcdf/file_gaps.cpp"
printf 'x = 1  # nc_open(path)\n' >"$tree/python/kavro/_file.py"
printf 'int w() { return nc_open(p, NC_WRITE, &id); }\n' >"$tree/tools/gridwriter/fixture_writer.cpp"
printf 'TEST(A, B) { nc_open(p, 0, &id); }\n' >"$tree/tests/unit/a_test.cpp"
"$script" "$tree"

printf 'int h() { return nc_open_mem(p, 0, n, b, &id); }\n' >>"$tree/lib/netcdf/file_gaps.cpp"
printf '#define OPEN(p, id) nc__open(p, 0, 0, id)\n' >"$tree/driver/run/run_files.cpp"
printf '  auto f = &nc_open;\n' >"$tree/python/_kavro.cpp"
status=0
out="$("$script" "$tree")" || status=$?
expected="driver/run/run_files.cpp:1:#define OPEN(p, id) nc__open(p, 0, 0, id) (only lib/netcdf/classic/open_existing.cpp opens an existing file with the netCDF library)
lib/netcdf/file_gaps.cpp:6:int h() { return nc_open_mem(p, 0, n, b, &id); } (only lib/netcdf/classic/open_existing.cpp opens an existing file with the netCDF library)
python/_kavro.cpp:1:  auto f = &nc_open; (only lib/netcdf/classic/open_existing.cpp opens an existing file with the netCDF library)"
if [[ "$status" != 1 || "$out" != "$expected" ]]; then
  echo "status $status, printed:"
  echo "$out"
  exit 1
fi
