#!/usr/bin/env bash
# Installs the dependencies, builds the release programs and runs the publisher: the window when
# there is one and a display is present, otherwise the headless server on the demo project (or on
# the screen file given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release >/dev/null
# The programs only: the tests and benchmarks are built by scripts/test.sh and bench/.
cmake --build --preset release-programs -j "$(nproc)"

build=build/release/src
screen=${1:-examples/demo/screen.xml}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/app/velmora" ]; then
  exec "$build/app/velmora"
fi
exec "$build/programs/velmora-server" "$screen"
