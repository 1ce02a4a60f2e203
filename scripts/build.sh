#!/bin/sh
# Configures and builds into build/ (shared by ./run and ./test).
set -eu
cd "$(dirname "$0")/.."
TESTS=${1:-OFF}
export CCACHE_BASEDIR="$PWD"
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
cmake -S . -B build $LAUNCHER -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING="$TESTS" -DQUENNET_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
