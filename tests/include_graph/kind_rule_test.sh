#!/usr/bin/env bash
# scripts/check_includes.sh on a small tree of its own: a kind-neutral routine that includes a
# kind's header, or netCDF's own header, is printed with the rule it breaks, and the check
# fails; the same tree without those includes passes (and netCDF's header is allowed in the
# netCDF kind and the status funnel). A room of the tool that includes a room its table does
# not name fails the same way.
set -euo pipefail
script="$1/scripts/check_includes.sh"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/lib/{core,filetype,open,read,netcdf,binary} "$tree"/driver/{options,run,programs} \
  "$tree"/python
printf '#include "filetype/layout.h"\n' >"$tree/lib/read/read3.cpp"
printf '#include <netcdf.h>\n#include "filetype/layout.h"\n#include "read/read.h"\n' >"$tree/lib/netcdf/read_netcdf.cpp"
printf '#include <netcdf.h>\n' >"$tree/lib/core/netcdf_status.cpp"
printf '#include "kavro/core.h"\n#include "options/setting_table.h"\n#include "outputs/summary.h"\n' \
  >"$tree/driver/run/plan.cpp"
printf '#include "options/setting_table.h"\n' >"$tree/python/_kavro.cpp"
"$script" "$tree"

printf '#include "netcdf/direct_read.h"\n' >>"$tree/lib/read/read3.cpp"
printf '#include "binary/binary_kind.h"\n' >"$tree/lib/open/ckdesc3.cpp"
printf '#include <netcdf.h>\n' >"$tree/lib/open/opnlog3.cpp"
printf '#include <netcdf.h>\n' >"$tree/driver/programs/main.cpp"
printf '#include "run/plan.h"\n' >"$tree/driver/options/file_names.cpp"
printf '#include "folder/folder_run.h"\n' >>"$tree/driver/run/plan.cpp"
printf '#include "run/plan.h"\n' >>"$tree/python/_kavro.cpp"
status=0
out="$("$script" "$tree")" || status=$?
expected='lib/open/ckdesc3.cpp: includes "binary/binary_kind.h" (lib/binary is a file kind: open/ and read/ include no kind folder)
lib/open/opnlog3.cpp: includes <netcdf.h> (netCDF'"'"'s header belongs in lib/netcdf/ and the status funnel)
lib/read/read3.cpp: includes "netcdf/direct_read.h" (lib/netcdf is a file kind: open/ and read/ include no kind folder)
driver/options/file_names.cpp: includes "run/plan.h" (driver/options does not include driver/run)
driver/programs/main.cpp: includes <netcdf.h> (netCDF'"'"'s header belongs in lib/netcdf/ and the status funnel)
driver/run/plan.cpp: includes "folder/folder_run.h" (driver/run does not include driver/folder)
python/_kavro.cpp: includes "run/plan.h" (python does not include driver/run)'
if [[ "$status" != 1 || "$out" != "$expected" ]]; then
  echo "status $status, printed:"
  echo "$out"
  exit 1
fi
