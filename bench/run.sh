#!/usr/bin/env bash
# One command for the benchmark: a Release build with the benchmarks in build-bench/, the data
# generated once into bench/out/, then for each pair the floor (bench_floor: read both files
# through the netCDF library and compare, nothing else), the mapped limit (bench_mapped: map
# both files and compare the data words in place) and brindlewick, each the best of RUNS runs
# (default 3), and a table. Wall times (s) and CPU times (cpu: user + system seconds) are both
# shown: the machine's cores are shared and wall times are noisy; ratios are of CPU times.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
out="$root/bench/out"
runs="${RUNS:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVRO_BENCH=ON -DKAVRO_TESTS=OFF \
  -DKAVRO_SANITIZE=OFF >/dev/null || { echo "run.sh: configuration failed" >&2; exit 1; }
if ! cmake --build "$build" -j2 --target make_bench_data bench_floor bench_mapped bench_timed >"$tmp/build.log" 2>&1; then
  cat "$tmp/build.log" >&2
  echo "run.sh: the generator or the floor does not build" >&2
  exit 1
fi
tool="$build/driver/brindlewick"
tool_note=""
if ! cmake --build "$build" -j2 --target brindlewick >"$build/brindlewick-build.log" 2>&1; then
  tool=""
  tool_note="brindlewick does not build: see $build/brindlewick-build.log"
fi

if [ ! -f "$out/complete" ]; then
  echo "run.sh: writing the benchmark data into $out (about 400 MB)"
  mkdir -p "$out"
  "$build/bench/make_bench_data" "$out" || { echo "run.sh: data generation failed" >&2; exit 1; }
  touch "$out/complete"
fi

# best_of LABEL [NAME=VALUE...] CMD...: runs CMD, with those variables set, $runs times (stdout
# kept in $tmp/LABEL.out, except the tool's, which goes to /dev/null; stderr in
# $tmp/LABEL.err) and sets best_s, best_cpu, best_kb and
# status: the least wall seconds, the least CPU seconds (user + system) and the peak RSS of the
# run with the least CPU, or the exit status of the first failed run (and stops there).
best_of() {
  local label="$1" s u y kb cpu sink
  shift
  sink="$tmp/$label.out"
  [[ "$label" != tool* ]] || sink=/dev/null
  best_s="" best_cpu="" best_kb="" status=0
  for ((i = 0; i < runs; i++)); do
    "$build/bench/bench_timed" "$tmp/time" "$@" >"$sink" 2>"$tmp/$label.err"
    status=$?
    [ "$status" -eq 0 ] || return
    read -r s u y kb < <(tail -n 1 "$tmp/time")
    cpu="$(awk -v u="$u" -v y="$y" 'BEGIN { printf "%.3f", u + y }')"
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
      best_s="$(awk -v a="$s" 'BEGIN { printf "%.3f", a }')"
    fi
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu="$cpu" best_kb="$kb"
    fi
  done
}

row() { printf '%-4s %-26s %8s %8s %7s %7s %7s %7s %7s %7s %9s %7s %8s\n' "$@"; }
ratio() { awk -v t="$1" -v f="$2" 'BEGIN { printf "%.2f", (f > 0 ? t / f : 0) }'; }
# nc_cpu: the tool with KAVRO_DIRECT_READ=N (every read through the netCDF library).
row pair content cells reports floor_s floor_cpu map_s map_cpu tool_s tool_cpu cpu_ratio nc_cpu \
  tool_MB
failures=()
for pair in A:a2:identical B:b2:"0.1% of cells changed" C:c2:"one variable all changed"; do
  IFS=: read -r name file content <<<"$pair"
  f1="$out/base.nc" f2="$out/$file.nc"
  best_of floor "$build/bench/bench_floor" "$f1" "$f2"
  if [ "$status" -ne 0 ]; then
    echo "run.sh: the floor failed on pair $name: $(cat "$tmp/floor.err")" >&2
    exit 1
  fi
  floor_s="$best_s" floor_cpu="$best_cpu" cells="$(cat "$tmp/floor.out")"
  best_of mapped "$build/bench/bench_mapped" "$f1" "$f2"
  map_s="$best_s" map_cpu="$best_cpu"
  [ "$status" -eq 0 ] && [ "$(cat "$tmp/mapped.out")" = "$cells" ] ||
    failures+=("pair $name: the mapped limit counts $(cat "$tmp/mapped.out"), the floor $cells")
  tool_s="-" tool_cpu="-" cpu_ratio="-" tool_mb="-" reports="-" nc_cpu="-"
  if [ -n "$tool" ]; then
    best_of tool STACK1="$out/stack.nc" INFILE1="$f1" INFILE2="$f2" LOGFILE=/dev/null "$tool"
    if [ "$status" -eq 0 ]; then
      tool_s="$best_s" tool_cpu="$best_cpu"
      cpu_ratio="$(ratio "$best_cpu" "$floor_cpu")"
      tool_mb="$(awk -v k="$best_kb" 'BEGIN { printf "%.1f", k / 1024 }')"
      best_of toolnc STACK1="$out/stack.nc" INFILE1="$f1" INFILE2="$f2" LOGFILE=/dev/null \
        KAVRO_DIRECT_READ=N "$tool"
      [ "$status" -ne 0 ] || nc_cpu="$best_cpu"
      # One more, untimed run counts the reports: a fast tool must not be fast by missing
      # cells. A report's first line is 69 characters of numbers (the banner shares stdout).
      reports="$(env STACK1="$out/stack.nc" INFILE1="$f1" INFILE2="$f2" LOGFILE=/dev/null \
        "$tool" | grep -E '^[ 0-9.E+-]{69}$' | grep -c '[0-9]')"
      # The benchmark data hold no NaN and no subnormal, so the two counts must agree.
      [ "$reports" -eq "$cells" ] ||
        failures+=("pair $name: brindlewick reported $reports cells, the floor counts $cells")
    else
      tool_s="FAILED"
      failures+=("pair $name: brindlewick exit status $status; $(tail -n 3 "$tmp/tool.err" | tr '\n' ' ')")
    fi
  fi
  row "$name" "$content" "$cells" "$reports" "$floor_s" "$floor_cpu" "$map_s" "$map_cpu" \
    "$tool_s" "$tool_cpu" "$cpu_ratio" "$nc_cpu" "$tool_mb"
  # The identical and the 0.1% pairs again with the summary on (BRINDLEWICK_SUMMARY=Y): its
  # cost beside the plain run above.
  if [ -n "$tool" ] && [ "$name" != C ]; then
    best_of tool STACK1="$out/stack.nc" INFILE1="$f1" INFILE2="$f2" LOGFILE=/dev/null \
      BRINDLEWICK_SUMMARY=Y "$tool"
    if [ "$status" -eq 0 ]; then
      row "$name+S" "$content, summary" "$cells" "-" "$floor_s" "$floor_cpu" "-" "-" "$best_s" \
        "$best_cpu" "$(ratio "$best_cpu" "$floor_cpu")" "-" \
        "$(awk -v k="$best_kb" 'BEGIN { printf "%.1f", k / 1024 }')"
    else
      failures+=("pair $name with the summary: brindlewick exit status $status")
    fi
  fi
done
[ -z "$tool_note" ] || echo "$tool_note"
for f in "${failures[@]}"; do echo "$f"; done
[ ! -x "$build/bench/micro_bench" ] || echo "micro benchmarks: $build/bench/micro_bench"
