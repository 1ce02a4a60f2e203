#!/bin/sh
# Builds the fuzz targets with clang, libFuzzer and the address and
# undefined-behaviour sanitizers into build-fuzz/ (beside build/).
set -eu
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
cmake -S fuzz -B build-fuzz $LAUNCHER -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j"${FUZZ_JOBS:-2}"
