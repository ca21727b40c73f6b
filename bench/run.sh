#!/usr/bin/env bash
# One command for the benchmark: a Release build with the benchmarks in build-bench/, the data
# generated once into bench/out/, then for each pair the floor (bench_floor: read both files
# through the netCDF library and compare, nothing else), the mapped limit (bench_mapped: map
# both files and compare the data words in place) and brindlewick, each the best of RUNS runs
# (default 5, the programs taking turns), and a table. Wall times (s) and CPU times (cpu: user + system seconds) are both
# shown: the machine's cores are shared and wall times are noisy; ratios are of CPU times.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
out="$root/bench/out"
runs="${RUNS:-5}"
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

# time_once LABEL [NAME=VALUE...] CMD...: runs CMD once, with those variables set (stdout kept
# in $tmp/LABEL.out, except the tool's, which goes to /dev/null; stderr in $tmp/LABEL.err), and
# keeps for LABEL the least wall seconds (best_s), the least CPU seconds, user + system
# (best_cpu), and the peak RSS of the run with the least CPU (best_kb); a failed run's exit
# status goes to failed[LABEL]. The programs of a pair take turns, run by run, so a noisy
# moment of the shared machine falls on all of them alike.
declare -A best_s best_cpu best_kb failed
time_once() {
  local label="$1" s u y kb cpu sink status
  shift
  [ -z "${failed[$label]:-}" ] || return
  sink="$tmp/$label.out"
  [[ "$label" != tool* ]] || sink=/dev/null
  "$build/bench/bench_timed" "$tmp/time" "$@" >"$sink" 2>"$tmp/$label.err"
  status=$?
  if [ "$status" -ne 0 ]; then
    failed[$label]="$status"
    return
  fi
  read -r s u y kb < <(tail -n 1 "$tmp/time")
  cpu="$(awk -v u="$u" -v y="$y" 'BEGIN { printf "%.3f", u + y }')"
  if [ -z "${best_s[$label]:-}" ] || awk -v a="$s" -v b="${best_s[$label]}" 'BEGIN { exit !(a < b) }'; then
    best_s[$label]="$(awk -v a="$s" 'BEGIN { printf "%.3f", a }')"
  fi
  if [ -z "${best_cpu[$label]:-}" ] || awk -v a="$cpu" -v b="${best_cpu[$label]}" 'BEGIN { exit !(a < b) }'; then
    best_cpu[$label]="$cpu" best_kb[$label]="$kb"
  fi
}

row() { printf '%-4s %-26s %8s %8s %7s %7s %7s %7s %7s %7s %9s %7s %8s\n' "$@"; }
ratio() { awk -v t="$1" -v f="$2" 'BEGIN { printf "%.2f", (f > 0 ? t / f : 0) }'; }
megabytes() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
# nc_cpu: the tool with KAVRO_DIRECT_READ=N (every read through the netCDF library).
row pair content cells reports floor_s floor_cpu map_s map_cpu tool_s tool_cpu cpu_ratio nc_cpu \
  tool_MB
failures=()
for pair in A:a2:identical B:b2:"0.1% of cells changed" C:c2:"one variable all changed"; do
  IFS=: read -r name file content <<<"$pair"
  f1="$out/base.nc" f2="$out/$file.nc"
  files=(STACK1="$out/stack.nc" INFILE1="$f1" INFILE2="$f2" LOGFILE=/dev/null)
  best_s=() best_cpu=() best_kb=() failed=()
  for ((i = 0; i < runs; i++)); do
    time_once floor "$build/bench/bench_floor" "$f1" "$f2"
    time_once mapped "$build/bench/bench_mapped" "$f1" "$f2"
    [ -n "$tool" ] || continue
    time_once tool "${files[@]}" "$tool"
    time_once toolnc "${files[@]}" KAVRO_DIRECT_READ=N "$tool"
    # The identical and the 0.1% pairs with the summary on too (BRINDLEWICK_SUMMARY=Y).
    [ "$name" = C ] || time_once toolsum "${files[@]}" BRINDLEWICK_SUMMARY=Y "$tool"
  done
  if [ -n "${failed[floor]:-}" ]; then
    echo "run.sh: the floor failed on pair $name: $(cat "$tmp/floor.err")" >&2
    exit 1
  fi
  floor_cpu="${best_cpu[floor]}" cells="$(cat "$tmp/floor.out")"
  [ -z "${failed[mapped]:-}" ] && [ "$(cat "$tmp/mapped.out")" = "$cells" ] ||
    failures+=("pair $name: the mapped limit counts $(cat "$tmp/mapped.out"), the floor $cells")
  tool_s="-" tool_cpu="-" cpu_ratio="-" tool_mb="-" reports="-" nc_cpu="-"
  if [ -n "$tool" ] && [ -z "${failed[tool]:-}" ]; then
    tool_s="${best_s[tool]}" tool_cpu="${best_cpu[tool]}"
    cpu_ratio="$(ratio "$tool_cpu" "$floor_cpu")"
    tool_mb="$(megabytes "${best_kb[tool]}")"
    [ -n "${failed[toolnc]:-}" ] || nc_cpu="${best_cpu[toolnc]}"
    # One more, untimed run counts the reports: a fast tool must not be fast by missing
    # cells. A report's first line is 69 characters of numbers (the banner shares stdout).
    reports="$(env "${files[@]}" "$tool" | grep -E '^[ 0-9.E+-]{69}$' | grep -c '[0-9]')"
    # The benchmark data hold no NaN and no subnormal, so the two counts must agree.
    [ "$reports" -eq "$cells" ] ||
      failures+=("pair $name: brindlewick reported $reports cells, the floor counts $cells")
  elif [ -n "$tool" ]; then
    tool_s="FAILED"
    failures+=("pair $name: brindlewick exit status ${failed[tool]}; $(tail -n 3 "$tmp/tool.err" | tr '\n' ' ')")
  fi
  row "$name" "$content" "$cells" "$reports" "${best_s[floor]}" "$floor_cpu" \
    "${best_s[mapped]:--}" "${best_cpu[mapped]:--}" "$tool_s" "$tool_cpu" "$cpu_ratio" "$nc_cpu" \
    "$tool_mb"
  if [ -n "$tool" ] && [ "$name" != C ]; then
    if [ -z "${failed[toolsum]:-}" ]; then
      row "$name+S" "$content, summary" "$cells" "-" "${best_s[floor]}" "$floor_cpu" "-" "-" \
        "${best_s[toolsum]}" "${best_cpu[toolsum]}" "$(ratio "${best_cpu[toolsum]}" "$floor_cpu")" \
        "-" "$(megabytes "${best_kb[toolsum]}")"
    else
      failures+=("pair $name with the summary: brindlewick exit status ${failed[toolsum]}")
    fi
  fi
done
[ -z "$tool_note" ] || echo "$tool_note"
for f in "${failures[@]}"; do echo "$f"; done
[ ! -x "$build/bench/micro_bench" ] || echo "micro benchmarks: $build/bench/micro_bench"
