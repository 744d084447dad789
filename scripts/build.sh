#!/usr/bin/env bash
# Configures and builds Tavrell (the program, the tests and the benchmarks).
#   TAVRELL_BUILD_DIR   build folder, default build/
#   TAVRELL_CMAKE_ARGS  further configure arguments (scripts/sanitize.sh uses it)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${TAVRELL_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TAVRELL_CMAKE_ARGS:-} >/dev/null
cmake --build "$dir" -j"$(nproc)"
