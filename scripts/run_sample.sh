#!/usr/bin/env bash
# The main job on the bundled sample: builds the tool, writes the sample files (a location file
# and two data files that differ in a few cells) and compares them. The difference reports and
# the log appear on the terminal; the script exits with the tool's status.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build >/dev/null
if ! cmake --build build -j"$(nproc)" --target brindlewick make_sample >build/run_sample.log 2>&1; then
  cat build/run_sample.log >&2
  exit 1
fi
mkdir -p sample
rm -f sample/stack.nc sample/run1.nc sample/run2.nc
./build/driver/make_sample sample/
# The log goes to the terminal with the reports: LOGFILE is left unset.
status=0
env -u LOGFILE STACK1=sample/stack.nc INFILE1=sample/run1.nc INFILE2=sample/run2.nc \
  ./build/driver/brindlewick || status=$?
exit "$status"
