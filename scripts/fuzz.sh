#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ (the netCDF library itself is the system's, uninstrumented), writes the seed
# corpora, and runs each target for FUZZ_SECONDS seconds (default 8: the short run CI makes) on
# its own working corpus in build-fuzz/corpus/<target>, seeded from the generated seeds. A
# finding stops the script with status 1 and leaves the input as build-fuzz/crash-* (keep it
# in fuzz/regressions/<target>/ once fixed: the test suite replays that folder).
#
#   FUZZ_SECONDS=3600 ./scripts/fuzz.sh            # a long run on demand
#   FUZZ_TARGETS="fuzz_file" ./scripts/fuzz.sh     # one target
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=build-fuzz
seconds="${FUZZ_SECONDS:-8}"
targets="${FUZZ_TARGETS:-fuzz_file fuzz_binary fuzz_recipe fuzz_settings fuzz_dates fuzz_report}"
# clang 14 crashes compiling the state tables (lib/core/state.cpp): g++ compiles that file.
state="$PWD/$build/state_gcc.o"
mkdir -p "$build"
g++ -std=c++20 -O2 -g -fPIC -Ilib/include -Ilib -c lib/core/state.cpp -o "$state"
CC=clang CXX=clang++ cmake -S . -B "$build" -DKAVRO_FUZZ=ON -DKAVRO_SANITIZE=ON -DKAVRO_TESTS=OFF \
  -DKAVRO_FORTRAN=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_FUZZ_STATE_OBJECT="$state" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target make_fuzz_seeds $targets >"$build/build.log" 2>&1 ||
  { tail -n 40 "$build/build.log"; echo "fuzz.sh: the targets do not build" >&2; exit 1; }
rm -rf "$build/seeds"
"$build/fuzz/make_fuzz_seeds" "$build/seeds"
mkdir -p "$build/scratch"
for t in $targets; do
  mkdir -p "$build/corpus/$t"
  kept="fuzz/regressions/$t"
  [ -d "$kept" ] || kept=""
  # A single allocation beyond 512 MB, or a process beyond 2 GB, is a finding too.
  (cd "$build" && TMPDIR="$PWD/scratch" ASAN_OPTIONS=detect_leaks=1 "./fuzz/$t" \
    -max_total_time="$seconds" -malloc_limit_mb=512 -rss_limit_mb=2048 -timeout=10 \
    -dict=../fuzz/classic.dict -print_final_stats=1 "corpus/$t" "seeds/$t" ${kept:+"../$kept"} \
    2>"$t.log") || { tail -n 40 "$build/$t.log"; echo "fuzz.sh: $t found a problem" >&2; exit 1; }
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/$t.log" | grep -o '[0-9]*$')
  echo "fuzz.sh: $t: ${runs:-0} executions in ${seconds} s, no finding"
done
