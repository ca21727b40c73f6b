#!/usr/bin/env bash
# One way into the netCDF library for an existing file: lib/netcdf/classic/open_existing.cpp runs
# the classic-header check first and is the only file of lib/, driver/ and python/ that calls
# nc_open, nc_open_mem or any other nc_open* or nc__open* routine. Prints every other call (file,
# line, text) and exits 1. Comments are not calls; nc_create is not concerned. The fixture writer
# (tools/gridwriter) and the tests read files of their own making and are not checked.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
door=lib/netcdf/classic/open_existing.cpp

bad=0
while IFS= read -r file; do
  [[ "$file" == "$door" ]] && continue
  # Comments are dropped (Python's after #, C's after // and the lines of block comments); what
  # is left is code, macros included.
  if [[ "$file" == *.py ]]; then
    strip=('s:#.*$::')
  else
    strip=('s://.*$::' 's:^[[:space:]]*(/[*]|[*]([[:space:]/]|$)).*$::')
  fi
  while IFS= read -r hit; do
    echo "$file:$hit (only $door opens an existing file with the netCDF library)"
    bad=1
  done < <(sed -E "${strip[@]/#/-e}" "$file" |
    grep -nE '(^|[^A-Za-z0-9_])nc__?open[A-Za-z0-9_]*([^A-Za-z0-9_]|$)' || true)
done < <(find lib driver python -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \
  -o -name '*.py' \) 2>/dev/null | sort)
exit "$bad"
