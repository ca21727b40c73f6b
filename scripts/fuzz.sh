#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ (the netCDF library itself is the system's, uninstrumented), writes the seed
# corpora, and runs each target for FUZZ_SECONDS seconds (default 8: the short run CI makes) on
# its own working corpus in build-fuzz/corpus/<target>, seeded from the generated seeds, the
# kept corpus fuzz/corpus/<target>/ (where the last long run ended) and the kept findings. A
# finding stops the script with status 1 and leaves the input as build-fuzz/crash-* (keep it
# in fuzz/regressions/<target>/ once fixed: the test suite replays that folder).
#
#   FUZZ_SECONDS=3600 ./scripts/fuzz.sh            # a long run on demand
#   FUZZ_TARGETS="fuzz_file" ./scripts/fuzz.sh     # one target
#   FUZZ_KEEP=1 FUZZ_SECONDS=1200 ./scripts/fuzz.sh  # a long run whose corpus, minimised with
#                                                    # -merge=1, replaces fuzz/corpus/<target>/
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=build-fuzz
seconds="${FUZZ_SECONDS:-8}"
targets="${FUZZ_TARGETS:-fuzz_file fuzz_binary fuzz_classic fuzz_binary_header fuzz_recipe fuzz_settings
  fuzz_dates fuzz_report}"
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
  kept=()
  for d in "fuzz/corpus/$t" "fuzz/regressions/$t"; do
    if [ -d "$d" ]; then kept+=("../$d"); fi
  done
  # A single allocation beyond 512 MB, or a process beyond 2 GB, is a finding too.
  (cd "$build" && TMPDIR="$PWD/scratch" ASAN_OPTIONS=detect_leaks=1 "./fuzz/$t" \
    -max_total_time="$seconds" -malloc_limit_mb=512 -rss_limit_mb=2048 -timeout=10 \
    -dict=../fuzz/classic.dict -print_final_stats=1 "corpus/$t" "seeds/$t" "${kept[@]}" \
    2>"$t.log") || { tail -n 40 "$build/$t.log"; echo "fuzz.sh: $t found a problem" >&2; exit 1; }
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/$t.log" | grep -o '[0-9]*$')
  echo "fuzz.sh: $t: ${runs:-0} executions in ${seconds} s, no finding"
  if [ "${FUZZ_KEEP:-0}" = 1 ]; then
    # The smallest set of inputs that covers what the whole working corpus covers.
    rm -rf "$build/merged/$t" && mkdir -p "$build/merged/$t"
    old=()
    if [ -d "fuzz/corpus/$t" ]; then old+=("../fuzz/corpus/$t"); fi
    (cd "$build" && ASAN_OPTIONS=detect_leaks=0 "./fuzz/$t" -merge=1 "merged/$t" "corpus/$t" \
      "${old[@]}" 2>"$t.merge.log") || { tail -n 20 "$build/$t.merge.log"; exit 1; }
    rm -rf "fuzz/corpus/$t" && mkdir -p fuzz/corpus && cp -r "$build/merged/$t" "fuzz/corpus/$t"
    echo "fuzz.sh: $t: kept $(ls "fuzz/corpus/$t" | wc -l) inputs in fuzz/corpus/$t"
  fi
done
