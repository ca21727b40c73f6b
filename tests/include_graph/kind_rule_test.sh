#!/usr/bin/env bash
# scripts/check_includes.sh on a small tree of its own: a kind-neutral routine that includes a
# kind's header, or netCDF's own header, is printed with the rule it breaks, and the check
# fails; the same tree without those includes passes (and netCDF's header is allowed in the
# netCDF kind and the status funnel).
set -euo pipefail
script="$1/scripts/check_includes.sh"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/lib/{core,filetype,open,read,netcdf,binary} "$tree"/driver "$tree"/python
printf '#include "filetype/layout.h"\n' >"$tree/lib/read/read3.cpp"
printf '#include <netcdf.h>\n#include "filetype/layout.h"\n#include "read/read.h"\n' >"$tree/lib/netcdf/read_netcdf.cpp"
printf '#include <netcdf.h>\n' >"$tree/lib/core/netcdf_status.cpp"
"$script" "$tree"

printf '#include "netcdf/direct_read.h"\n' >>"$tree/lib/read/read3.cpp"
printf '#include "binary/binary_kind.h"\n' >"$tree/lib/open/ckdesc3.cpp"
printf '#include <netcdf.h>\n' >"$tree/lib/open/opnlog3.cpp"
printf '#include <netcdf.h>\n' >"$tree/driver/main.cpp"
status=0
out="$("$script" "$tree")" || status=$?
expected='lib/open/ckdesc3.cpp: includes "binary/binary_kind.h" (lib/binary is a file kind: open/ and read/ include no kind folder)
lib/open/opnlog3.cpp: includes <netcdf.h> (netCDF'"'"'s header belongs in lib/netcdf/ and the status funnel)
lib/read/read3.cpp: includes "netcdf/direct_read.h" (lib/netcdf is a file kind: open/ and read/ include no kind folder)
driver/main.cpp: includes <netcdf.h> (netCDF'"'"'s header belongs in lib/netcdf/ and the status funnel)'
if [[ "$status" != 1 || "$out" != "$expected" ]]; then
  echo "status $status, printed:"
  echo "$out"
  exit 1
fi
