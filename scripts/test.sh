#!/usr/bin/env bash
# Installs the dependencies, then builds and runs every test: a warnings-as-errors build,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, the server's tests
# under ThreadSanitizer, and each fuzz target for a bounded time on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
jobs=$(nproc)

stage() { echo; echo "=== $* ==="; }

build_and_test() {
  local preset=$1; shift
  stage "$preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" 2>/dev/null || cmake --build "build/$preset" -j "$jobs"
  ctest --test-dir "build/$preset" --output-on-failure -j "$jobs" "$@"
}

build_and_test ci
build_and_test asan-ubsan
build_and_test tsan -L tsan

stage fuzz
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$jobs"
./fuzz/run-all.sh build/fuzz "${FUZZ_SECONDS:-20}"

stage "all tests passed"
