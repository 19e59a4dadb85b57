#!/usr/bin/env bash
# Installs the dependencies, checks the layout of every source and of the tree (includes run down
# the layers, limits in Limits.h, no names differing only by letter case), then builds and runs every test: a
# warnings-as-errors build (every header also compiled alone) followed by the tidy checks of the
# sources changed since TIDY_BASE (the previous commit by default) and the Debian package made from
# that build held to Debian's checks (at most three minutes), the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and
# the Windows build made with MinGW-w64 with its tests run under Wine on a virtual display (one Wine
# server for the whole run, stopped at the end) and its installer installed and uninstalled there (at
# most two minutes), and each fuzz target for a bounded time on its seed corpus (FUZZ_SECONDS, 20 by
# default).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --windows
jobs=$(nproc)

stage() { echo; echo "=== $* === $(date +%T)"; }

build_and_test() {
  local preset=$1; shift
  stage "$preset"
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

stage format
./scripts/format.sh --check
stage layout
./scripts/check-layout.sh

build_and_test ci
stage tidy
./scripts/tidy.sh build/ci "${TIDY_BASE:-HEAD~1}"
stage package
timeout 180 ./scripts/check-package.sh build/ci
build_and_test asan-ubsan
build_and_test tsan
stage windows
trap './scripts/wine-run.sh --stop' EXIT
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
./scripts/tidy.sh build/windows "${TIDY_BASE:-HEAD~1}"
# Most of a test's time under Wine is waiting, so more run at once than there are cores. The
# windows of velmora.exe and its tests appear on a virtual display as large as a laptop's at 150 %.
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --preset windows -j "$((jobs + 1))" --timeout 150
timeout 120 ./scripts/check-installer.sh build/windows
build_and_test fuzz -DVELMORA_FUZZ_SECONDS="${FUZZ_SECONDS:-20}"

stage "all tests passed"
