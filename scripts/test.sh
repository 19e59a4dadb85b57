#!/usr/bin/env bash
# Installs the dependencies, then builds and runs every test: a warnings-as-errors build (every
# header also compiled alone), the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the server's tests under ThreadSanitizer, and each fuzz target for a bounded time on its seed
# corpus (FUZZ_SECONDS, 20 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

stage() { echo; echo "=== $* ==="; }

build_and_test() {
  local preset=$1; shift
  stage "$preset"
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

build_and_test ci
build_and_test asan-ubsan
build_and_test tsan
build_and_test fuzz -DVELMORA_FUZZ_SECONDS="${FUZZ_SECONDS:-20}"

stage "all tests passed"
