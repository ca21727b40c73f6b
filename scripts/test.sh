#!/usr/bin/env bash
# Builds the library, the tool and every test, then runs the tests.
# BUILD_DIR picks the build folder (default build); KAVRO_SANITIZE=ON builds with ASan+UBSan;
# KAVRO_WERROR=ON makes warnings errors (CI and developers); BUILD_TYPE picks the configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# ccache keeps compiled objects across the three builds of CI's machine and across checkouts:
# paths under the checkout are hashed relative to it, so a fresh clone reuses them.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
fi
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DKAVRO_SANITIZE="${KAVRO_SANITIZE:-OFF}" -DKAVRO_WERROR="${KAVRO_WERROR:-OFF}" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)" --timeout 300
