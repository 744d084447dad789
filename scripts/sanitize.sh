#!/usr/bin/env bash
# Builds Tavrell with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs every test there, on both backends, as scripts/test.sh does. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
export TAVRELL_BUILD_DIR=build-asan
export TAVRELL_CMAKE_ARGS="-DTAVRELL_SANITIZE=ON"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(pwd)/scripts/lsan.supp}
exec scripts/test.sh
