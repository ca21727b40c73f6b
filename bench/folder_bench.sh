#!/usr/bin/env bash
# bench/folder_bench.sh BUILD [WORK]: the folder run (brindlewick DIR1 DIR2, one process whose
# workers compare pair after pair) against the tool run once per pair, one after another, in
# the same run of this script. BUILD is a build folder with brindlewick, make_sample and (for the
# medium pairs) make_bench_data (-DKAVRO_BENCH=ON); WORK keeps the data (default: a new
# temporary folder, removed at the end). Three measures, each with /usr/bin/time (wall, user +
# system seconds of the process and its children, peak RSS), best of RUNS (default 3):
#   medium  MEDIUM pairs (default 32) of 20 REAL variables x 24 steps x 200 x 250, identical
#           and 0.1 % changed in turn (links to make_bench_data's base.nc, a2.nc, b2.nc),
#           --jobs 2, against the tool once per pair;
#   small   SMALL pairs (default 500) of the bundled sample (run1.nc, run2.nc), CPU per pair;
#   memory  the folder run's peak RSS with BIG pairs (default 2000) against 20 pairs.
# Both sides run with the same settings: the log to /dev/null, a JSON result per pair, no
# reports (the folder run's default), status 1 on differences.
set -euo pipefail
build="$(cd "$1" && pwd)"
tool="$build/driver/brindlewick"
runs="${RUNS:-3}"
medium="${MEDIUM:-32}"
small="${SMALL:-500}"
big="${BIG:-2000}"
if [ $# -ge 2 ]; then
  work="$2"
  mkdir -p "$work"
else
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi

# best LABEL CMD...: runs CMD RUNS times under /usr/bin/time and prints the least wall and CPU
# seconds and the least peak RSS (kB).
best() {
  local label="$1"
  shift
  local w=999999 c=999999 m=999999999
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    read -r e u s k < <(tail -n 1 "$work/time.txt")
    w=$(echo "$e $w" | awk '{print ($1 < $2) ? $1 : $2}')
    c=$(echo "$u $s $c" | awk '{t = $1 + $2; print (t < $3) ? t : $3}')
    m=$((k < m ? k : m))
  done
  echo "$label wall_s=$w cpu_s=$c max_rss_kb=$m"
}

# pairs DIR N FILE1 FILE2 [FILE2B]: DIR/d1/pNNNN.nc -> FILE1, DIR/d2/pNNNN.nc -> FILE2 (and
# FILE2B for every second pair), as hard links.
pairs() {
  local dir="$1" n="$2" f1="$3" f2="$4" f2b="${5:-$4}"
  rm -rf "$dir"
  mkdir -p "$dir/d1" "$dir/d2"
  for i in $(seq -w 1 "$n"); do
    ln "$f1" "$dir/d1/p$i.nc"
    if [ $((10#$i % 2)) -eq 0 ]; then ln "$f2b" "$dir/d2/p$i.nc"; else ln "$f2" "$dir/d2/p$i.nc"; fi
  done
}

# one_by_one DIR STACK: the tool once per pair, with the folder run's settings.
cat >"$work/one_by_one.sh" <<'SCRIPT'
#!/bin/sh
dir="$1"; stack="$2"; tool="$3"; tmp="$dir/one.json"
for f in "$dir"/d1/*.nc; do
  rm -f "$tmp"
  LOGFILE=/dev/null BRINDLEWICK_JSON="$tmp" BRINDLEWICK_MAX_REPORTS=0 \
    BRINDLEWICK_EXIT_ON_DIFF=Y "$tool" --stack "$stack" "$f" "$dir/d2/$(basename "$f")" >/dev/null
done
rm -f "$tmp"
exit 0
SCRIPT
chmod +x "$work/one_by_one.sh"

if [ "$medium" -gt 0 ]; then
  if [ ! -f "$work/data/b2.nc" ]; then
    mkdir -p "$work/data"
    "$build/bench/make_bench_data" "$work/data" a2.nc b2.nc
  fi
  pairs "$work/medium" "$medium" "$work/data/base.nc" "$work/data/a2.nc" "$work/data/b2.nc"
  cat "$work/data"/*.nc >/dev/null  # in the page cache for both sides
  best "medium_one_by_one" "$work/one_by_one.sh" "$work/medium" "$work/data/stack.nc" "$tool"
  best "medium_folder_jobs2" "$tool" --jobs 2 --stack "$work/data/stack.nc" "$work/medium/d1" \
    "$work/medium/d2"
fi

"$build/driver/make_sample" "$work/sample/" >/dev/null
if [ "$small" -gt 0 ]; then
  pairs "$work/small" "$small" "$work/sample/run1.nc" "$work/sample/run2.nc"
  best "small_one_by_one" "$work/one_by_one.sh" "$work/small" "$work/sample/stack.nc" "$tool"
  best "small_folder_jobs1" "$tool" --jobs 1 --stack "$work/sample/stack.nc" "$work/small/d1" \
    "$work/small/d2"
  best "small_folder_jobs2" "$tool" --jobs 2 --stack "$work/sample/stack.nc" "$work/small/d1" \
    "$work/small/d2"
fi
if [ "$big" -gt 0 ]; then
  pairs "$work/twenty" 20 "$work/sample/run1.nc" "$work/sample/run2.nc"
  pairs "$work/big" "$big" "$work/sample/run1.nc" "$work/sample/run2.nc"
  best "memory_folder_20" "$tool" --jobs 2 --stack "$work/sample/stack.nc" "$work/twenty/d1" \
    "$work/twenty/d2"
  best "memory_folder_${big}" "$tool" --jobs 2 --stack "$work/sample/stack.nc" "$work/big/d1" \
    "$work/big/d2"
  best "memory_folder_${big}_json" sh -c 'rm -f "$1/big.json"; exec "$2" --jobs 2 --stack \
    "$1/sample/stack.nc" --json "$1/big.json" "$1/big/d1" "$1/big/d2"' sh "$work" "$tool"
fi
