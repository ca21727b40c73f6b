#!/usr/bin/env bash
# The include graph of lib/ and driver/: every folder of lib/ has a layer, and a file includes
# only its own folder's headers, the public headers (kavro/) and the folders of lower layers.
# The file-type model (filetype/) sits below the kind-neutral routines (open/, read/), and every
# file kind (netcdf/, list/, binary/, memory/) above them: open/ and read/ include no kind
# folder, and reach a kind only through its row in the kind table (core/kinds.h).
# The public headers include only public headers; the driver and the Python module include
# only public headers and the driver's rooms, each room only the rooms its table names. The netCDF library's header, <netcdf.h>, belongs to the
# netCDF kind (netcdf/) and the few core routines that speak to the netCDF library itself; the
# kind-neutral routines name netCDF's statuses and types by names of the library's own.
# Prints every include that breaks this and exits 1.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# The layers, lowest first. A folder may include any folder of a lower layer.
declare -A layer=(
  [util]=0
  [core]=1
  [settings]=2
  [filetype]=3 [projection]=3
  [open]=4
  [read]=5
  [netcdf]=6 [list]=6 [binary]=6 [memory]=6
  [kind_list]=7 [c_api]=7 [cxx]=7
  [fortran]=8
)

# The file kinds: each is reached from the kind-neutral routines through its row only.
kinds="netcdf list binary memory"

# The files outside netcdf/ that may include <netcdf.h>: the status funnel, INIT3 (the netCDF
# library's version and its error printing) and the message routines (netCDF's own texts), and
# the C API's version query.
declare -A netcdf_header_allowed=(
  [lib/core/netcdf_status.h]=1 [lib/core/netcdf_status.cpp]=1
  [lib/core/init.cpp]=1 [lib/core/messages.cpp]=1
  [lib/c_api/version.cpp]=1
)

bad=0
complain() {
  echo "$1: includes \"$2\" ($3)"
  bad=1
}

# FILE's includes of <netcdf.h>, where FILE may not have them.
check_netcdf_header() {
  if grep -q '^#include <netcdf\.h>' "$1"; then
    echo "$1: includes <netcdf.h> (netCDF's header belongs in lib/netcdf/ and the status funnel)"
    bad=1
  fi
}

while IFS= read -r file; do
  folder="${file#lib/}"
  folder="${folder%%/*}"
  [[ "$folder" == kind_list.cpp || "$folder" == kind_list.h ]] && folder=kind_list
  [[ "$folder" == netcdf || -n "${netcdf_header_allowed[$file]:-}" ]] || check_netcdf_header "$file"
  while IFS= read -r inc; do
    target="${inc%%/*}"
    [[ "$inc" == */* ]] || continue  # a C++ or system header named without a folder
    if [[ "$folder" == include ]]; then
      [[ "$target" == kavro ]] || complain "$file" "$inc" "a public header includes a private one"
      continue
    fi
    [[ "$target" == kavro || "$target" == "$folder" ]] && continue
    if [[ -z "${layer[$folder]:-}" ]]; then
      complain "$file" "$inc" "folder lib/$folder has no layer in scripts/check_includes.sh"
    elif [[ -z "${layer[$target]:-}" ]]; then
      complain "$file" "$inc" "lib/$target is not a folder of the library"
    elif [[ " $kinds " == *" $target "* && " open read " == *" $folder "* ]]; then
      complain "$file" "$inc" "lib/$target is a file kind: open/ and read/ include no kind folder"
    elif (( layer[$target] >= layer[$folder] )); then
      complain "$file" "$inc" "lib/$target is not below lib/$folder"
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find lib -name '*.cpp' -o -name '*.h' | sort)

# The tool's rooms and the rooms each may include, by their path below driver/ ("run/plan.h").
# The options (the settings table, the command line, file names) stand alone: the Python module
# compiles the settings table by itself. The run never reaches into the folder run, and nothing
# includes the programs.
declare -A room_includes=(
  [options]="options"
  [run]="options run outputs"
  [outputs]="options run outputs folder"
  [folder]="options run outputs folder"
  [programs]="options run outputs folder"
  [python]="options"
)

# The tool and the Python module see the library only through its public headers (the sample
# maker writes its files with the fixture writer, tools/gridwriter, not the library).
while IFS= read -r file; do
  room="${file#driver/}"
  room="${room%%/*}"
  who="driver/$room"
  [[ "$file" == python/* ]] && room=python && who=python
  while IFS= read -r inc; do
    [[ "$inc" == */* ]] || continue
    [[ "$inc" == kavro/* || "$inc" == gridwriter/* ]] && continue
    target="${inc%%/*}"
    if [[ -z "${room_includes[$target]:-}" || "$target" == python ]]; then
      complain "$file" "$inc" "not a public header"
    elif [[ -z "${room_includes[$room]:-}" ]]; then
      complain "$file" "$inc" "driver/$room is not a room of the tool in scripts/check_includes.sh"
    elif [[ " ${room_includes[$room]} " != *" $target "* ]]; then
      complain "$file" "$inc" "$who does not include driver/$target"
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  check_netcdf_header "$file"
done < <(find driver python -name '*.cpp' -o -name '*.h' | sort)

exit "$bad"
