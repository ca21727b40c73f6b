#!/bin/sh
# install_test.sh BUILD WORK LIBDIR VERSION FORTRAN(ON|OFF) [PYTHON(ON|OFF)]
# Installs BUILD into WORK/prefix, checks what lands there, then builds the installed example
# programs against it as a user would, with find_package (CMake) and with pkg-config, C, C++
# and (FORTRAN=ON) Fortran, and runs each on a sample written by the installed make_sample (the
# C and Fortran ones also on a missing file). The archives are linked from a C-only and a
# Fortran-only CMake project and with pkg-config --static.
# With PYTHON=ON, Debian's /usr/bin/python3 imports the installed package from the folder the
# README names, opens the sample through xarray and compares it with the installed tool; and
# that folder under the default prefix /usr/local is one the plain interpreter searches.
# CC, CXX and FC name the compilers.
set -eu
build=$1 work=$2 libdir=$3 version=$4 fortran=$5 python=${6:-OFF}
# The README's words, not the build's: "PYTHONPATH=PREFIX/lib/python3.11/dist-packages".
python3=/usr/bin/python3 pydir=lib/python3.11/dist-packages
here=$(cd "$(dirname "$0")" && pwd)
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"

# ---- What lands where ----------------------------------------------------------------------
for f in include/kavro/kavro.h include/kavro/kavro_c.h include/kavro/desc.h \
  include/kavro/version.h "$libdir/libkavro.a" "$libdir/libkavro.so" "$libdir/libkavro.so.${version%%.*}" \
  "$libdir/libkavro.so.$version" bin/brindlewick bin/make_sample bin/make_stack \
  share/man/man1/brindlewick.1 share/man/man5/kavro-files.5 include/kavro/projection.h \
  "$libdir/cmake/kavro/kavroConfig.cmake" "$libdir/cmake/kavro/kavroConfigVersion.cmake" \
  "$libdir/pkgconfig/kavro.pc" share/doc/kavro/examples/read_grid.c include/kavro/file.h \
  include/kavro/write.h share/doc/kavro/examples/write_grid.cpp; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
if [ "$fortran" = ON ]; then
  for f in include/kavro.mod "$libdir/libkavrof.a" "$libdir/libkavrof.so" "$libdir/pkgconfig/kavrof.pc"; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
  done
fi
soname=$(readelf -d "$prefix/$libdir/libkavro.so.$version" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = "libkavro.so.${version%%.*}" ] || fail "SONAME is '$soname'"
# The shared libraries find each other in their own folder, wherever the prefix is.
shared=libkavro.so.$version
[ "$fortran" = ON ] && shared="$shared libkavrof.so.$version"
for lib in $shared; do
  readelf -d "$prefix/$libdir/$lib" | grep -q 'R.*PATH.*\$ORIGIN' || fail "$lib has no \$ORIGIN run path"
done
out=$("$prefix/bin/brindlewick" --version) || fail "installed brindlewick --version failed"
[ "$(echo "$out" | head -n 1)" = "brindlewick $version" ] || fail "--version says: $out"

# ---- The sample the examples read ------------------------------------------------------------
"$prefix/bin/make_sample" "$work/sample" >/dev/null || fail "installed make_sample failed"
export GRIDFILE="$work/sample/run1.nc" LOGFILE=/dev/null
expected="grid SAMPLE_12KM     : 12 columns x 8 rows x 1 layers, 4 variables"
# Runs a built example as a user would, without LD_LIBRARY_PATH, and checks its description
# line; the C and C++ ones print alike.
unset LD_LIBRARY_PATH
run() {
  out=$("$1") || fail "$1 failed: $out"
  echo "$out" | grep -q "^$expected\$" || fail "$1 printed: $out"
  echo "$out" | grep -v '^     ' >"$1.out"
}

# The writing examples create a file, write three steps and read them back.
written="EXAMPLE_GRID: 4 x 3 x 2, 1 variable(s), 3 steps"
run_writer() {
  out=$("$1" "$1.nc") || fail "$1 failed: $out"
  echo "$out" | grep -q "^$written\$" || fail "$1 printed: $out"
  echo "$out" | grep -q "^T2 at 2024033:020000: 24 values from 281 to 292.5\$" ||
    fail "$1 printed: $out"
}
run_writer_f() {
  out=$(OUTFILE="$1.nc" "$1") || fail "$1 failed: $out"
  echo "$out" | grep -q "^T2 at 2024033:020000: from  281.0 to  281.0\$" || fail "$1 printed: $out"
}
# A program linked against the archives records no shared kavro library.
static_only() {
  ! readelf -d "$1" | grep -q 'NEEDED.*libkavro' || fail "$1 needs a shared kavro library"
}
# The C and Fortran examples on a file they cannot open: the library's reason on standard
# error, exactly, and status 2.
missing=$work/missing.nc
run_missing() {
  status=0
  out=$(GRIDFILE=$missing "$1" 2>&1 >/dev/null) || status=$?
  [ "$status" = 2 ] && [ "$out" = "$(basename "$1"): OPEN3: GRIDFILE ($missing): no such file" ] ||
    fail "$1 on a missing file: status $status: $out"
}

# ---- find_package --------------------------------------------------------------------------
examples=$prefix/share/doc/kavro/examples
cmake -S "$here/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  -DKAVRO_EXAMPLES="$examples" -DWITH_FORTRAN="$fortran" >"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log"; fail "the consumer project does not configure"; }
cmake --build "$work/cmake" >>"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log"; fail "the consumer project does not build"; }
run "$work/cmake/read_grid"
run "$work/cmake/read_grid_c"
cmp -s "$work/cmake/read_grid.out" "$work/cmake/read_grid_c.out" || fail "C and C++ examples differ"
run_writer "$work/cmake/write_grid"
run_missing "$work/cmake/read_grid_c"
if [ "$fortran" = ON ]; then
  run "$work/cmake/read_grid_f"
  run_writer_f "$work/cmake/write_grid_f"
  run_missing "$work/cmake/read_grid_f"
fi

# ---- The archives from a project of one language: C alone, Fortran alone ---------------------
# Each language's own compiler links: the C++ runtime comes from the package.
consumer() {
  cmake -S "$here/consumer/$1" -B "$work/$1" -DCMAKE_PREFIX_PATH="$prefix" \
    -DKAVRO_EXAMPLES="$examples" >"$work/$1.log" 2>&1 &&
    cmake --build "$work/$1" >>"$work/$1.log" 2>&1 ||
    { cat "$work/$1.log"; fail "the $1 consumer project does not build"; }
  run "$work/$1/$2"
  static_only "$work/$1/$2"
  run_missing "$work/$1/$2"
}
consumer c_only read_grid_c
cmp -s "$work/c_only/read_grid_c.out" "$work/cmake/read_grid.out" || fail "C-only and C++ examples differ"
if [ "$fortran" = ON ]; then
  consumer fortran_only read_grid_f
fi

# ---- pkg-config: one line each -------------------------------------------------------------
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion kavro)" = "$version" ] || fail "pkg-config --modversion kavro"
mkdir -p "$work/pc"
cd "$work/pc"
# A program linked against a prefix outside the system folders records where to find it.
runpath="-Wl,-rpath,$(pkg-config --variable=libdir kavro)"
${CXX:-c++} -std=c++20 -o read_grid "$examples/read_grid.cpp" $(pkg-config --cflags --libs kavro) "$runpath" ||
  fail "C++ with pkg-config"
${CC:-cc} -std=c89 -o read_grid_c "$examples/read_grid.c" $(pkg-config --cflags --libs kavro) "$runpath" ||
  fail "C with pkg-config"
${CXX:-c++} -std=c++20 -o write_grid "$examples/write_grid.cpp" $(pkg-config --cflags --libs kavro) "$runpath" ||
  fail "C++ writer with pkg-config"
run "$work/pc/read_grid"
run "$work/pc/read_grid_c"
run_writer "$work/pc/write_grid"
cmp -s "$work/pc/read_grid.out" "$work/cmake/read_grid.out" || fail "pkg-config and CMake builds differ"
if [ "$fortran" = ON ]; then
  ${FC:-gfortran} -o read_grid_f "$examples/read_grid.f90" $(pkg-config --cflags --libs kavrof) "$runpath" ||
    fail "Fortran with pkg-config"
  run "$work/pc/read_grid_f"
  ${FC:-gfortran} -o write_grid_f "$examples/write_grid.f90" $(pkg-config --cflags --libs kavrof) "$runpath" ||
    fail "Fortran writer with pkg-config"
  run_writer_f "$work/pc/write_grid_f"
fi

# ---- pkg-config --static: the archives alone ---------------------------------------------------
# A prefix holding the headers, the archives and the .pc files but no shared kavro library, so
# the linker can only take the archives: --static must name everything they need, and what it
# names must be on a machine set up by scripts/setup.sh.
static=$work/static
mkdir -p "$static/$libdir/pkgconfig"
cp -R "$prefix/include" "$static/"
cp "$prefix/$libdir/libkavro.a" "$prefix/$libdir/pkgconfig/kavro.pc" "$static/$libdir/"
mv "$static/$libdir/kavro.pc" "$static/$libdir/pkgconfig/"
if [ "$fortran" = ON ]; then
  cp "$prefix/$libdir/libkavrof.a" "$static/$libdir/"
  cp "$prefix/$libdir/pkgconfig/kavrof.pc" "$static/$libdir/pkgconfig/"
fi
export PKG_CONFIG_PATH="$static/$libdir/pkgconfig"
mkdir -p "$work/pc_static"
cd "$work/pc_static"
${CC:-cc} -std=c89 -o read_grid_c "$examples/read_grid.c" $(pkg-config --cflags --libs --static kavro) ||
  fail "C with pkg-config --static"
run "$work/pc_static/read_grid_c"
static_only "$work/pc_static/read_grid_c"
if [ "$fortran" = ON ]; then
  ${FC:-gfortran} -o read_grid_f "$examples/read_grid.f90" $(pkg-config --cflags --libs --static kavrof) ||
    fail "Fortran with pkg-config --static"
  run "$work/pc_static/read_grid_f"
  static_only "$work/pc_static/read_grid_f"
fi

# ---- The Python package, from the prefix alone ----------------------------------------------
if [ "$python" = ON ]; then
  # Under /usr/local the README's folder needs no PYTHONPATH.
  env -u PYTHONPATH "$python3" -c 'import site, sys; sys.exit("/usr/local/'"$pydir"'" not in site.getsitepackages())' ||
    fail "/usr/local/$pydir is not among $python3's site folders"
  for f in kavro/__init__.py kavro/xarray_backend.py "kavro-$version.dist-info/entry_points.txt"; do
    [ -e "$prefix/$pydir/$f" ] || fail "$pydir/$f is not installed"
  done
  cd "$work/sample"
  out=$(env -u PYTHONPATH PYTHONPATH="$prefix/$pydir" LOGFILE=/dev/null "$python3" - <<'PY' 2>&1
import os
import kavro, xarray
from kavro import _compare
assert os.path.dirname(kavro.__file__).startswith(os.environ["PYTHONPATH"]), kavro.__file__
with kavro.open("run1.nc") as f:
    desc = f.description
    with kavro.create("BIN:run1.bin", desc) as out:
        for k in range(len(f.step_pairs)):
            for v in f.variables:
                out.write(v, f.step_pairs[k], f.read(v, k))
ds = xarray.open_dataset("BIN:run1.bin", engine="kavro", stack="stack.nc")
ref = xarray.open_dataset("run1.nc", engine="kavro")
assert (ds["TEMP"].values == ref["TEMP"].values).all()
print("result:", ds.sizes["time"], ds.attrs["GDNAM"], _compare.find_brindlewick())
print("result:", kavro.compare("run1.nc", "run2.nc", "stack.nc").status)
PY
) || fail "the installed Python package: $out"
  # The package prints nothing of its own: every line is the script's.
  [ "$out" = "$(printf 'result: 4 SAMPLE_12KM %s\nresult: differ' "$prefix/bin/brindlewick")" ] ||
    fail "the installed Python package printed: $out"
  # The RECORD pip uninstalls by: every installed file of the package, each with its hash
  # and size, the RECORD itself without.
  out=$("$python3" - "$prefix/$pydir" "kavro-$version.dist-info" <<'PY' 2>&1
import base64, csv, hashlib, os, sys
site, info = sys.argv[1:]
with open(os.path.join(site, info, "RECORD"), newline="") as f:
    rows = list(csv.reader(f))
listed = {path for path, _, _ in rows}
for path, digest, size in rows:
    if path == f"{info}/RECORD":
        assert (digest, size) == ("", ""), (digest, size)
        continue
    data = open(os.path.join(site, path), "rb").read()
    want = "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    assert (digest, int(size)) == (want, len(data)), path
found = {os.path.relpath(os.path.join(d, n), site) for top in ("kavro", info)
         for d, _, names in os.walk(os.path.join(site, top)) for n in names
         if not n.endswith(".pyc")}
assert found == listed, found ^ listed
assert "kavro/_kavro" in " ".join(listed) and f"{info}/METADATA" in listed
print("ok")
PY
) || fail "the installed RECORD: $out"
fi
echo "install_test: installed, found and used through CMake and pkg-config"
