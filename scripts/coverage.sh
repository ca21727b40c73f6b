#!/usr/bin/env bash
# Line and branch coverage of lib/ and driver/ by the test suite: a build with gcc's --coverage
# in build-coverage/, every test but the install test, then gcov over the library's and the
# tool's objects. Prints one line per folder; COVERAGE_DETAIL=1 adds the files by line coverage.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=build-coverage
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKAVRO_SANITIZE=OFF \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_Fortran_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
find "$build" -name '*.gcda' -delete
(cd "$build" && ctest -j"$(nproc)" -LE install --timeout 300 >"ctest.log" 2>&1) ||
  { tail -n 20 "$build/ctest.log"; echo "coverage.sh: tests failed" >&2; exit 1; }
python3 - "$PWD" "$build" <<'PY'
import json, os, subprocess, sys
root, build = sys.argv[1], sys.argv[2]
lines, branches = {}, {}
objects = []
for d, _, files in os.walk(build):
    if "/lib/CMakeFiles/kavro_objects.dir" in d or "/driver/CMakeFiles/brindlewick_compare.dir" in d:
        objects += [os.path.abspath(os.path.join(d, f)) for f in files if f.endswith(".gcda")]
for gcda in objects:
    out = subprocess.run(["gcov", "--json-format", "--stdout", "--branch-probabilities", gcda],
                         cwd=os.path.dirname(gcda), capture_output=True, text=True).stdout
    for doc in out.splitlines():
        if not doc.strip():
            continue
        for f in json.loads(doc)["files"]:
            path = os.path.realpath(os.path.join(root, f["file"]))
            rel = os.path.relpath(path, root)
            if not (rel.startswith("lib/") or rel.startswith("driver/")):
                continue
            for l in f["lines"]:
                key = (rel, l["line_number"])
                lines[key] = max(lines.get(key, 0), l["count"])
                for i, b in enumerate(l.get("branches", [])):
                    if b.get("throw"):
                        continue
                    k = key + (i,)
                    branches[k] = max(branches.get(k, 0), b["count"])
def share(table, top):
    keys = [k for k in table if k[0].startswith(top)]
    hit = sum(1 for k in keys if table[k] > 0)
    return hit, len(keys)
for top in ("lib/", "driver/"):
    lh, lt = share(lines, top)
    bh, bt = share(branches, top)
    print(f"coverage {top:8s} lines {100.0 * lh / max(lt, 1):5.1f}% ({lh}/{lt})  "
          f"branches {100.0 * bh / max(bt, 1):5.1f}% ({bh}/{bt})")
if os.environ.get("COVERAGE_DETAIL"):
    per = {}
    for (rel, _), c in lines.items():
        h, t = per.get(rel, (0, 0))
        per[rel] = (h + (c > 0), t + 1)
    for rel, (h, t) in sorted(per.items(), key=lambda x: x[1][0] / x[1][1]):
        print(f"  {100.0 * h / t:5.1f}% {rel}")
PY
