#!/bin/sh
# Configures and builds into build/ (shared by ./run and ./test).
set -eu
cd "$(dirname "$0")/.."
TESTS=${1:-OFF}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING="$TESTS" -DQUENNET_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
